#pragma once
// The dialog "按名称添加地名…": a search box over the site's place list and
// the places it finds; Enter or a double-click chooses one.
#include <string>

class QWidget;

namespace vantoril {

// The code of the place chosen, or the empty text when the dialog was cancelled.
std::string askPlaceByName(QWidget* parent);

}  // namespace vantoril
