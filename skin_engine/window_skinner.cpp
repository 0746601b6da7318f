#include "skin_engine/window_skinner.h"

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>
#include <string>

#include "runtime/handles.h"
#include "runtime/window_subclass.h"

namespace {

using skin::Role;

// What the engine does for a window depends on what it is.
enum class Kind : int {
  Frame = 1,   // a top-level window with a caption, or a dialog: background
  Container,   // any other parent of controls: its children's colours
  PushButton,  // drawn by the engine (owner-draw) with hot and pressed states
  GroupBox,    // frame and caption drawn by the engine
  Edit,        // flat border
  ListView,    // list colours and flat border
  Header,      // the list view's column header, drawn by the engine
};

// What the engine keeps of a skinned window, in its own table: a message finds it without asking
// the system (a window property would cost a round trip to Wine's server on every message).
struct SkinnedWindow {
  Kind kind = Kind::Container;
  UINT ownType = 0;  // a push button's own BS_ type, which the engine's owner-draw style stands in for
  bool hot = false;  // the mouse is over the push button
};

LRESULT CALLBACK SkinProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
WindowSubclasses<SkinnedWindow> g_windows(SkinProc);
using Skinned = WindowSubclasses<SkinnedWindow>::Entry;

LRESULT Previous(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return g_windows.CallPrevious(hwnd, msg, wp, lp); }

std::optional<Kind> SkinnedKind(HWND hwnd) {
  if (std::optional<Skinned> entry = g_windows.Find(hwnd)) return entry->state.kind;
  return std::nullopt;
}

struct SkinState {
  DWORD thread = 0;
  skin::Palette palette;
  std::array<GdiObject<HBRUSH>, static_cast<size_t>(Role::Count)> brushes;
  GdiObject<HPEN> borderPen;
  GdiObject<HPEN> accentPen;
  UniqueHook hook;
};
std::unique_ptr<SkinState> g_skin;

COLORREF Colour(Role role) {
  const skin::Rgb& c = g_skin->palette[role];
  return RGB(c.r, c.g, c.b);
}
HBRUSH Brush(Role role) { return g_skin->brushes[static_cast<size_t>(role)].get(); }

COLORREF Blend(COLORREF a, COLORREF b) {
  return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2, (GetBValue(a) + GetBValue(b)) / 2);
}

void CreatePaletteObjects(SkinState& s) {
  for (size_t i = 0; i < s.brushes.size(); ++i) {
    const skin::Rgb& c = s.palette.colours[i];
    s.brushes[i].reset(CreateSolidBrush(RGB(c.r, c.g, c.b)));
  }
  const skin::Rgb& border = s.palette[Role::ButtonBorder];
  const skin::Rgb& accent = s.palette[Role::Accent];
  s.borderPen.reset(CreatePen(PS_SOLID, 1, RGB(border.r, border.g, border.b)));
  s.accentPen.reset(CreatePen(PS_SOLID, 1, RGB(accent.r, accent.g, accent.b)));
}

bool HasClass(HWND hwnd, const wchar_t* name) {
  wchar_t buffer[64] = {};
  return GetClassNameW(hwnd, buffer, 64) > 0 && _wcsicmp(buffer, name) == 0;
}

bool IsGroupBox(HWND hwnd) {
  return HasClass(hwnd, L"Button") && (GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

HFONT FontOf(HWND hwnd) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// The background a control sits on: a group box's inside, or the window's.
Role SurfaceUnder(HWND control) {
  for (HWND p = GetParent(control); p && (GetWindowLongW(p, GWL_STYLE) & WS_CHILD); p = GetParent(p))
    if (IsGroupBox(p)) return Role::GroupBackground;
  return Role::WindowBackground;
}

std::optional<Kind> Classify(HWND hwnd) {
  const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  // Per-pixel-alpha windows (the drop shadow) are pushed as bitmaps, never painted.
  if (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) return std::nullopt;
  if (HasClass(hwnd, L"Button")) {
    switch (style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON: return Kind::PushButton;
      case BS_GROUPBOX: return Kind::GroupBox;
      default: return std::nullopt;  // check boxes and radio buttons: coloured by their parent
    }
  }
  if (HasClass(hwnd, L"Edit")) return Kind::Edit;
  if (HasClass(hwnd, WC_LISTVIEWW)) return Kind::ListView;
  if (HasClass(hwnd, WC_HEADERW)) return Kind::Header;
  if (!(style & WS_CHILD) && ((style & WS_CAPTION) == WS_CAPTION || HasClass(hwnd, L"#32770"))) return Kind::Frame;
  return std::nullopt;
}

// ---- painting --------------------------------------------------------------------------------

void PaintButton(HWND button, const SkinnedWindow& skinned, HDC dc, RECT rc, UINT state) {
  SavedDcState saved(dc);
  const bool pressed = state & ODS_SELECTED;
  const bool hot = skinned.hot;
  const UINT ownType = skinned.ownType;
  const Role face = pressed ? Role::ButtonPressed : hot ? Role::ButtonHot : Role::ButtonFace;
  FillRect(dc, &rc, Brush(SurfaceUnder(button)));  // the rounded corners show what is under the button
  const bool marked = (state & ODS_FOCUS) || ownType == BS_DEFPUSHBUTTON;
  SelectObject(dc, marked ? g_skin->accentPen.get() : g_skin->borderPen.get());
  SelectObject(dc, Brush(face));
  RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, 6, 6);

  SelectObject(dc, FontOf(button));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, (state & ODS_DISABLED) ? Blend(Colour(Role::Text), Colour(face)) : Colour(Role::Text));
  if (pressed) OffsetRect(&rc, 1, 1);
  std::wstring text = WindowText(button);
  DrawTextW(dc, text.c_str(), -1, &rc,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | ((state & ODS_NOACCEL) ? DT_HIDEPREFIX : 0));
}

void PaintGroupBox(HWND group, HDC dc) {
  SavedDcState saved(dc);
  RECT rc;
  GetClientRect(group, &rc);
  FillRect(dc, &rc, Brush(SurfaceUnder(group)));
  SelectObject(dc, FontOf(group));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const std::wstring text = WindowText(group);

  RECT frame = rc;
  frame.top += metrics.tmHeight / 2;
  SelectObject(dc, g_skin->borderPen.get());
  SelectObject(dc, Brush(Role::GroupBackground));
  RoundRect(dc, frame.left, frame.top, frame.right, frame.bottom, 8, 8);
  if (text.empty()) return;

  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  RECT caption{8, 0, std::min<LONG>(8 + extent.cx + 4, rc.right - 4), metrics.tmHeight};
  FillRect(dc, &caption, Brush(Role::GroupBackground));  // breaks the frame line under the caption
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Colour(Role::Accent));
  DrawTextW(dc, text.c_str(), -1, &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void PaintHeader(HWND header, HDC dc) {
  SavedDcState saved(dc);
  RECT rc;
  GetClientRect(header, &rc);
  FillRect(dc, &rc, Brush(Role::HeaderBackground));
  SelectObject(dc, FontOf(header));
  SelectObject(dc, g_skin->borderPen.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Colour(Role::Text));
  const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    RECT item{};
    if (!SendMessageW(header, HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item))) continue;
    wchar_t title[260] = {};
    HDITEMW info{};
    info.mask = HDI_TEXT | HDI_FORMAT;
    info.pszText = title;
    info.cchTextMax = 260;
    SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&info));
    const int align = info.fmt & HDF_JUSTIFYMASK;
    RECT text = item;
    InflateRect(&text, -6, 0);
    DrawTextW(dc, title, -1, &text,
              DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX |
                  (align == HDF_CENTER ? DT_CENTER : align == HDF_RIGHT ? DT_RIGHT : DT_LEFT));
    MoveToEx(dc, item.right - 1, item.top + 4, nullptr);
    LineTo(dc, item.right - 1, item.bottom - 4);
  }
  MoveToEx(dc, rc.left, rc.bottom - 1, nullptr);
  LineTo(dc, rc.right, rc.bottom - 1);
}

// The sunken two-pixel edge becomes a one-pixel line in the border colour.
void PaintFlatEdge(HWND hwnd) {
  WindowFrameDc dc(hwnd);
  if (!dc) return;
  RECT rc;
  GetWindowRect(hwnd, &rc);
  OffsetRect(&rc, -rc.left, -rc.top);
  FrameRect(dc.get(), &rc, Brush(Role::ButtonBorder));
  InflateRect(&rc, -1, -1);
  FrameRect(dc.get(), &rc, Brush(HasClass(hwnd, L"Edit") || HasClass(hwnd, WC_LISTVIEWW) ? Role::EditBackground
                                                                                        : Role::WindowBackground));
}

// ---- message handlers ------------------------------------------------------------------------

// Brushes the window procedures hand out when the program has no colour of its own.
bool IsDefaultBrush(LRESULT brush) {
  if (brush == 0) return true;
  for (int i = COLOR_SCROLLBAR; i <= COLOR_MENUBAR; ++i)
    if (reinterpret_cast<HBRUSH>(brush) == GetSysColorBrush(i)) return true;
  return false;
}

LRESULT OnCtlColor(HWND hwnd, UINT msg, HDC dc, HWND control) {
  const LRESULT chosen = Previous(hwnd, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
  // Colours the program chose itself (the cookie box's green on black) stay.
  if (!IsDefaultBrush(chosen)) return chosen;
  Role back = Role::WindowBackground, fore = Role::Text;
  if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX || HasClass(control, L"Edit")) {
    back = Role::EditBackground;
    fore = Role::EditText;
  } else if (msg != WM_CTLCOLORDLG) {
    back = SurfaceUnder(control);
  }
  SetTextColor(dc, Colour(fore));
  SetBkColor(dc, Colour(back));
  return reinterpret_cast<LRESULT>(Brush(back));
}

bool OnDrawItem(const DRAWITEMSTRUCT* item) {
  if (!item || item->CtlType != ODT_BUTTON) return false;
  const std::optional<Skinned> button = g_windows.Find(item->hwndItem);
  if (!button || button->state.kind != Kind::PushButton) return false;
  PaintButton(item->hwndItem, button->state, item->hDC, item->rcItem, item->itemState);
  return true;
}

LRESULT OnEraseBackground(HWND hwnd, Kind kind, HDC dc) {
  if (kind == Kind::Frame) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, Brush(Role::WindowBackground));
  }
  return 1;  // a group box paints its whole face in WM_PAINT
}

LRESULT OnPaint(HWND hwnd, Kind kind, HDC printDc) {
  auto paint = [&](HDC dc) { kind == Kind::GroupBox ? PaintGroupBox(hwnd, dc) : PaintHeader(hwnd, dc); };
  if (printDc) {
    paint(printDc);
  } else {
    PAINTSTRUCT ps;
    if (HDC dc = BeginPaint(hwnd, &ps)) {
      paint(dc);
      EndPaint(hwnd, &ps);
    }
  }
  return 0;
}

void OnButtonMouseMove(HWND button, const SkinnedWindow& skinned) {
  if (skinned.hot) return;
  g_windows.Update(button, [](SkinnedWindow& s) { s.hot = true; });
  TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, button, 0};
  TrackMouseEvent(&track);
  InvalidateRect(button, nullptr, FALSE);
}

void OnButtonMouseLeave(HWND button) {
  g_windows.Update(button, [](SkinnedWindow& s) { s.hot = false; });
  InvalidateRect(button, nullptr, FALSE);
}

// The program may switch a button between default and plain; it stays drawn by the engine.
LRESULT OnButtonSetStyle(HWND button, WPARAM style, LPARAM redraw) {
  const UINT type = style & BS_TYPEMASK;
  if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return Previous(button, BM_SETSTYLE, style, redraw);
  g_windows.Update(button, [type](SkinnedWindow& s) { s.ownType = type; });
  const LRESULT result = Previous(button, BM_SETSTYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW, redraw);
  if (redraw) InvalidateRect(button, nullptr, FALSE);
  return result;
}

// Whether the system's own non-client painting would show anywhere in `region` (screen
// coordinates; 1 means everything). Around a control whose frame is the sunken edge alone, the
// flat edge covers all of it but the scroll bars: painting it is wasted elsewhere. A window that
// widens step by step uncovers a strip of such a control in each step, mostly away from its
// scroll bars, and each step's non-client paint then skips the system's themed scroll bars.
bool SystemFramePaintShows(HWND hwnd, WPARAM region) {
  if (region == 1 || region == 0) return true;
  const LONG style = GetWindowLongW(hwnd, GWL_STYLE), exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
  if ((style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)) ||
      (exStyle & (WS_EX_STATICEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME | WS_EX_LAYOUTRTL | WS_EX_LEFTSCROLLBAR)) ||
      !(exStyle & WS_EX_CLIENTEDGE))
    return true;
  RECT window{}, client{};
  GetWindowRect(hwnd, &window);
  GetClientRect(hwnd, &client);
  MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
  const int edgeX = GetSystemMetrics(SM_CXEDGE), edgeY = GetSystemMetrics(SM_CYEDGE);
  // Anything else in the frame (a frame of its own, a menu): leave it all to the system.
  if (client.left - window.left != edgeX || client.top - window.top != edgeY) return true;
  const int right = static_cast<int>(window.right - client.right) - edgeX;
  const int bottom = static_cast<int>(window.bottom - client.bottom) - edgeY;
  const bool hasV = right > 0, hasH = bottom > 0;
  if ((hasV && right != GetSystemMetrics(SM_CXVSCROLL)) || (hasH && bottom != GetSystemMetrics(SM_CYHSCROLL)) ||
      right < 0 || bottom < 0)
    return true;
  const HRGN updated = reinterpret_cast<HRGN>(region);
  // The scroll bars and the box between them, inside the edge.
  const RECT bars[] = {{client.right, window.top + edgeY, window.right - edgeX, window.bottom - edgeY},
                       {window.left + edgeX, client.bottom, window.right - edgeX, window.bottom - edgeY}};
  for (const RECT& bar : bars)
    if (bar.right > bar.left && bar.bottom > bar.top && RectInRegion(updated, &bar)) return true;
  return false;
}

LRESULT OnNcPaint(HWND hwnd, WPARAM region, LPARAM lp) {
  const bool edged = GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE;
  if (edged && !SystemFramePaintShows(hwnd, region)) {
    PaintFlatEdge(hwnd);
    return 0;
  }
  const LRESULT result = Previous(hwnd, WM_NCPAINT, region, lp);
  if (edged) PaintFlatEdge(hwnd);
  return result;
}

LRESULT OnSkinnedMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, const SkinnedWindow& skinned) {
  const Kind kind = skinned.kind;
  if (!g_skin) return Previous(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG:
      return OnCtlColor(hwnd, msg, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_DRAWITEM:
      if (OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
      break;
    case WM_ERASEBKGND:
      if (kind == Kind::Frame || kind == Kind::GroupBox) return OnEraseBackground(hwnd, kind, reinterpret_cast<HDC>(wp));
      break;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      if (kind == Kind::GroupBox || kind == Kind::Header)
        return OnPaint(hwnd, kind, msg == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wp) : nullptr);
      break;
    case WM_MOUSEMOVE:
      if (kind == Kind::PushButton) OnButtonMouseMove(hwnd, skinned);
      break;
    case WM_MOUSELEAVE:
      if (kind == Kind::PushButton) OnButtonMouseLeave(hwnd);
      break;
    case BM_SETSTYLE:
      if (kind == Kind::PushButton) return OnButtonSetStyle(hwnd, wp, lp);
      break;
    case WM_NCPAINT:
      if (kind == Kind::Edit || kind == Kind::ListView) return OnNcPaint(hwnd, wp, lp);
      break;
  }
  return Previous(hwnd, msg, wp, lp);
}

LRESULT CALLBACK SkinProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  return g_windows.Dispatch(hwnd, msg, wp, lp, [&](const Skinned& entry) {
    return OnSkinnedMessage(hwnd, msg, wp, lp, entry.state);
  });
}

// ---- attaching ---------------------------------------------------------------------------------

void ApplyListColours(HWND list) {
  SendMessageW(list, LVM_SETBKCOLOR, 0, Colour(Role::EditBackground));
  SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, Colour(Role::EditBackground));
  SendMessageW(list, LVM_SETTEXTCOLOR, 0, Colour(Role::EditText));
}

void Subclass(HWND hwnd, Kind kind) {
  const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  SkinnedWindow skinned{kind};
  if (kind == Kind::PushButton) skinned.ownType = style & BS_TYPEMASK;
  if (!g_windows.Attach(hwnd, skinned)) return;
  if (kind == Kind::PushButton) SetWindowLongW(hwnd, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
  if (kind == Kind::ListView) ApplyListColours(hwnd);
}

void Unskin(HWND hwnd, const SkinnedWindow& skinned) {
  if (skinned.kind == Kind::PushButton)
    SetWindowLongW(hwnd, GWL_STYLE, (GetWindowLongW(hwnd, GWL_STYLE) & ~BS_TYPEMASK) | static_cast<LONG>(skinned.ownType));
  g_windows.Detach(hwnd);
}

// Skins one window of the skinned thread; a control's parent receives its colour and drawing
// requests, so the parent is taken in as well.
void SkinWindow(HWND hwnd) {
  if (!g_skin || GetWindowThreadProcessId(hwnd, nullptr) != g_skin->thread) return;
  if (!SkinnedKind(hwnd)) {
    if (std::optional<Kind> kind = Classify(hwnd)) Subclass(hwnd, *kind);
  }
  if (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) {
    HWND parent = GetParent(hwnd);
    if (parent && !SkinnedKind(parent)) Subclass(parent, Classify(parent).value_or(Kind::Container));
  }
}

BOOL CALLBACK SkinChild(HWND hwnd, LPARAM) noexcept {
  SkinWindow(hwnd);
  return TRUE;
}

BOOL CALLBACK SkinTopLevel(HWND hwnd, LPARAM) noexcept {
  SkinWindow(hwnd);
  EnumChildWindows(hwnd, SkinChild, 0);
  return TRUE;
}

BOOL CALLBACK RefreshChild(HWND hwnd, LPARAM) noexcept {
  if (SkinnedKind(hwnd) == Kind::ListView) ApplyListColours(hwnd);
  return TRUE;
}

BOOL CALLBACK RefreshTopLevel(HWND hwnd, LPARAM) noexcept {
  EnumChildWindows(hwnd, RefreshChild, 0);
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  return TRUE;
}

BOOL CALLBACK UnskinChild(HWND hwnd, LPARAM) noexcept {
  if (std::optional<Skinned> entry = g_windows.Find(hwnd)) {
    Unskin(hwnd, entry->state);
    if (entry->state.kind == Kind::ListView) {
      SendMessageW(hwnd, LVM_SETBKCOLOR, 0, GetSysColor(COLOR_WINDOW));
      SendMessageW(hwnd, LVM_SETTEXTBKCOLOR, 0, GetSysColor(COLOR_WINDOW));
      SendMessageW(hwnd, LVM_SETTEXTCOLOR, 0, GetSysColor(COLOR_WINDOWTEXT));
    }
  }
  return TRUE;
}

BOOL CALLBACK UnskinTopLevel(HWND hwnd, LPARAM) noexcept {
  EnumChildWindows(hwnd, UnskinChild, 0);
  UnskinChild(hwnd, 0);
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  return TRUE;
}

// Windows are subclassed as they are created, before they see their first message.
LRESULT CALLBACK OnCbt(int code, WPARAM wp, LPARAM lp) noexcept {
  if (code == HCBT_CREATEWND) SkinWindow(reinterpret_cast<HWND>(wp));
  return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

bool AttachSkin(const skin::Palette& palette) {
  const DWORD thread = GetCurrentThreadId();
  if (g_skin && g_skin->thread != thread) return false;
  if (!g_skin) {
    auto state = std::make_unique<SkinState>();
    state->thread = thread;
    state->hook.reset(SetWindowsHookExW(WH_CBT, OnCbt, nullptr, thread));
    if (!state->hook) return false;
    g_skin = std::move(state);
  }
  g_skin->palette = palette;
  CreatePaletteObjects(*g_skin);
  EnumThreadWindows(thread, SkinTopLevel, 0);
  EnumThreadWindows(thread, RefreshTopLevel, 0);
  return true;
}

void DetachSkin() {
  if (!g_skin || g_skin->thread != GetCurrentThreadId()) return;
  g_skin->hook.reset();
  EnumThreadWindows(g_skin->thread, UnskinTopLevel, 0);
  g_skin.reset();
}
