#include "app/ControlTable.h"

#include <array>
#include <stdexcept>
#include <string>

namespace vantoril {

namespace {

using K = ControlKind;
constexpr Rgb kGreen{192, 255, 192}, kYellow{255, 255, 192}, kRed{255, 192, 192}, kGrey{192, 192, 192},
    kBlue{192, 192, 255};
constexpr FontDesign kSong9{u"宋体", 9.75}, kSong24{u"宋体", 24};

// A multi-line box of the debug panel.
constexpr ControlDesign column(std::string_view name, int left, int width, int tab) {
  return {name, K::TextBox, u"", left, 3840, width, 4695, tab, {}, {}, {}, true};
}

const std::array<ControlDesign, 40> kControls{{
    {"Text15", K::TextBox, u"", 360, 3600, 3375, 615, 38, {}, Rgb{192, 0, 0}, kSong24, false, true},
    {"Command8", K::CommandButton, u"打开网页", 9840, 120, 1095, 255, 37, kYellow},
    {"Command7", K::CommandButton, u"删除", 2520, 120, 855, 255, 36, kGrey},
    {"Command6", K::CommandButton, u"新建", 1680, 120, 855, 255, 35, kYellow},
    {"Command5", K::CommandButton, u"改名", 840, 120, 855, 255, 34, kRed},
    {"Command4", K::CommandButton, u"修改网址", 8640, 120, 1095, 255, 33, kRed},
    {"Text14", K::TextBox, u"", 3600, 360, 11655, 735, 32},
    {"List1", K::ListBox, u"", 120, 360, 3375, 780, 31},
    {"Command2", K::CommandButton, u"作者博客", 240, 7080, 3495, 1215, 30, kBlue},
    {"Command3", K::CommandButton, u"打开天气数据文件夹", 240, 5760, 3495, 1215, 27, kYellow},
    {"Text13", K::TextBox, u"********", 14280, 0, 975, 375, 25, {}, {}, {}, false, false, u'*'},
    column("Text12", 12720, 1095, 24),
    column("Text11", 11520, 1095, 23),
    column("Text10", 10320, 1095, 22),
    column("Text9", 9120, 1095, 21),
    column("Text8", 7320, 975, 16),
    column("Text7", 6240, 975, 15),
    column("Text6", 5160, 975, 14),
    {"Text5", K::TextBox, u"", 120, 2640, 11415, 855, 8, {}, {}, kSong9, true},
    column("Text4", 3960, 1095, 7),
    {"Text3", K::TextBox, u"", 12840, 3000, 2295, 375, 4},
    {"Text2", K::TextBox, u"", 12840, 2640, 2295, 375, 2},
    {"Inet1", K::TransferControl, u"", 0, 0, 0, 0, -1},
    {"Text1", K::TextBox, u"", 120, 1440, 15135, 855, 1, {}, {}, kSong9, true, false, 0, 30000},
    {"Command1", K::CommandButton, u"点击这里开始记录天气数据", 240, 4320, 3495, 1335, 0, kGreen},
    {"Label6", K::Label, u"“中国天气”网站为本地分配的天气网址：", 4920, 120, 3615, 375, 29},
    {"Label2", K::Label, u"地名：", 120, 120, 1095, 375, 28},
    {"Label15", K::Label, u"程序员调试入口：** XA 7E", 12000, 120, 2415, 255, 26},
    {"Label14", K::Label, u"湿度数据", 12840, 3600, 975, 255, 20},
    {"Label13", K::Label, u"降水数据", 11640, 3600, 855, 255, 19},
    {"Label12", K::Label, u"气温数据", 10440, 3600, 855, 255, 18},
    {"Label11", K::Label, u"整点数据", 9240, 3600, 855, 255, 17},
    {"Label10", K::Label, u"湿度位置", 7440, 3600, 975, 255, 13},
    {"Label9", K::Label, u"降水位置", 6480, 3600, 855, 255, 12},
    {"Label8", K::Label, u"气温位置", 5280, 3600, 855, 255, 11},
    {"Label7", K::Label, u"截文字符数：", 120, 2400, 7935, 255, 10},
    {"Label5", K::Label, u"全文字符数：", 120, 1200, 8055, 255, 9},
    {"Label4", K::Label, u"整点位置", 4200, 3600, 855, 255, 6},
    {"Label3", K::Label, u"当前气象时段：", 11640, 3120, 1455, 255, 5},
    {"Label1", K::Label, u"开始字段位置：", 11640, 2760, 1335, 255, 3},
}};

}  // namespace

std::span<const ControlDesign> controlTable() { return kControls; }

const ControlDesign& controlDesign(std::string_view name) {
  for (const auto& c : kControls)
    if (c.name == name) return c;
  throw std::out_of_range("no control named " + std::string(name));
}

}  // namespace vantoril
