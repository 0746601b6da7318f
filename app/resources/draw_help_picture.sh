#!/usr/bin/env bash
# Draws the help picture (1148 x 466) that the help panel shows: the work flow in six steps,
# pictures and words. Needs ImageMagick and the WenQuanYi font (both installed by scripts/setup).
#   app/resources/draw_help_picture.sh [output.png]
set -euo pipefail
out=${1:-$(dirname "$0")/help.png}
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

ink='#2f3b4c'; accent='#1f7a4d'; soft='#e8f3ec'; card='#ffffff'; line='#c9d6ce'

args=(
  -size 1148x466 "xc:#f6faf7" -font "$font"
  -fill "$soft" -stroke none -draw "rectangle 0,0 1148,58"
  -fill "$accent" -pointsize 28 -annotate +24+40 "使用说明：六步取得宝贝的全部图片"
  -fill "$ink" -pointsize 16 -annotate +640+38 "一个Cookie可同时用于淘宝、天猫和阿里"
)

# A step card: number disc, title, two lines of text (the drawings follow below).
card() {  # x y number title line1 line2
  local x=$1 y=$2
  args+=(-fill "$card" -stroke "$line" -strokewidth 2 -draw "roundrectangle $x,$y $((x+352)),$((y+170)) 14,14")
  args+=(-fill "$accent" -stroke none -draw "circle $((x+30)),$((y+30)) $((x+30)),$((y+12))")
  args+=(-fill white -pointsize 22 -annotate +$((x+23))+$((y+38)) "$3")
  args+=(-fill "$ink" -pointsize 22 -annotate +$((x+60))+$((y+39)) "$4")
  args+=(-fill "$ink" -pointsize 15 -annotate +$((x+18))+$((y+138)) "$5")
  args+=(-fill "$ink" -pointsize 15 -annotate +$((x+18))+$((y+160)) "$6")
}
card 16 74 1 "登录或粘贴Cookie" "点【载入淘宝】或【载入阿里】登录，" "把Cookie复制到左下的Cookie框"
card 396 74 2 "粘贴宝贝链接" "把商品页面的地址粘贴到" "【宝贝链接】输入框"
card 776 74 3 "点平台按钮" "淘宝数据、天猫数据、阿里数据" "或京东数据，按链接所属平台选择"
card 16 268 4 "等待列表出现" "主图、SKU图和详情图逐行列出，" "标题与SKU文字一并取得"
card 396 268 5 "点【下载数据】" "图片、主图视频和文字保存到" "岚栩图片工具箱下以宝贝ID命名的文件夹"
card 776 268 6 "等待成功提示" "出现“保存成功”即可打开文件夹，" "再点【清空数据】取下一个"

# Small drawings inside the cards.
draw=(
  # 1: a login window with a key
  -fill "#dfeee5" -stroke "$accent" -strokewidth 2 -draw "roundrectangle 232,118 340,180 6,6"
  -fill "$accent" -stroke none -draw "rectangle 232,118 340,130"
  -fill white -stroke "$line" -draw "rectangle 244,138 328,150" -draw "rectangle 244,160 328,172"
  -fill black -stroke none -draw "rectangle 30,170 210,184"
  -fill "#00a000" -pointsize 12 -annotate +34+182 "cookie=t=...; _tb_token_=..."
  # 2: a link box
  -fill white -stroke "$ink" -strokewidth 2 -draw "rectangle 420,130 740,158"
  -fill "$ink" -stroke none -pointsize 14 -annotate +428+149 "https://item.taobao.com/item.htm?id=..."
  # 3: four platform buttons
  -fill "$soft" -stroke "$accent" -strokewidth 2
  -draw "roundrectangle 792,126 862,154 5,5" -draw "roundrectangle 872,126 942,154 5,5"
  -draw "roundrectangle 952,126 1022,154 5,5" -draw "roundrectangle 1032,126 1102,154 5,5"
  -fill "$ink" -stroke none -pointsize 14
  -annotate +800+146 "淘宝数据" -annotate +880+146 "天猫数据" -annotate +960+146 "阿里数据" -annotate +1040+146 "京东数据"
  # 4: a list of rows
  -fill white -stroke "$line" -strokewidth 1 -draw "rectangle 40,318 350,384"
  -fill "$soft" -stroke none -draw "rectangle 41,319 349,333"
  -fill "$ink" -pointsize 12 -annotate +46+330 "序号   图片Url                                     图片类型"
  -annotate +46+346 "1      https://img.../O1CN01.jpg           淘宝主图图片1"
  -annotate +46+362 "2      https://img.../O1CN02.jpg           淘宝SKU图片1"
  -annotate +46+378 "3      https://img.../O1CN03.jpg           淘宝详情图片1"
  # 5: a folder with a download arrow
  -fill "#f3d98b" -stroke "#b8962e" -strokewidth 2 -draw "roundrectangle 520,322 620,384 6,6"
  -fill "$accent" -stroke none -draw "polygon 690,318 714,318 714,348 728,348 702,376 676,348 690,348"
  # 6: a tick in a circle
  -fill "$soft" -stroke "$accent" -strokewidth 3 -draw "circle 940,352 940,318"
  -fill none -stroke "$accent" -strokewidth 7 -draw "polyline 922,352 936,366 960,338"
)
convert "${args[@]}" "${draw[@]}" -depth 8 -strip "$out"
echo "wrote $out"
