#pragma once
// The original of a picture address on the platforms' picture hosts. Pages and description
// documents often name a picture by a smaller or re-encoded copy that the picture host makes on
// request: a thumbnail size, a quality or a format written after the file's own name. The copy's
// endings are known, so the original's address can be told from the copy's.

#include <string>
#include <string_view>

// `url` without the copy's endings, when it is an http(s) address on a picture host (a host whose
// next-to-last label is "alicdn" or "360buyimg", whatever name it is served under):
// - alicdn: "_.webp", "_.avif", "_<w>x<h>[q<n>|Q<n>][xz].<ext>", "_q<n>.<ext>", "_Q<n>.<ext>" and
//   "_sum.<ext>" after the file's own extension go, ".<w>x<h>", ".summ" and ".search" before its
//   extension go, and so does a query (and fragment). "_!!…" belongs to the file's name and stays.
// - 360buyimg: an "s<w>x<h>_" before "jfs/" goes, and after the file's extension whatever follows
//   a "!" and a trailing ".avif" or ".webp".
// Any other address comes back as it is.
std::string OriginalPictureAddress(std::string_view url);
