// The list refresh, the folder scan and the catalogue commands of the window.
#include <algorithm>
#include <utility>
#include <vector>

#include "app/Form1.h"
#include "catalogue/Catalogue.h"
#include "platform/Cp936.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "datafile/PlaceData.h"

namespace vantoril {

void Form1::sosuofile1(const std::u16string& MyPath) {
  catalogue::scan(fileNameBytes(MyPath), [this](const std::u16string& place, const std::string& file) {
    List1.addEntry(place);
    placeFiles_.resize(static_cast<std::size_t>(List1.entryCount()) - 1);
    placeFiles_.push_back(file);
  });
}

std::string Form1::placeFile(int index) const {
  if (index >= 0 && static_cast<std::size_t>(index) < placeFiles_.size() && !placeFiles_[index].empty())
    return placeFiles_[index];
  return catalogue::filePath(programFolder_, index >= 0 && index < List1.entryCount() ? List1.entries()[index] : u"");
}

void Form1::listRefresh() {
  List1.clear();
  placeFiles_.clear();
  sosuofile1(fileNameText(catalogue::folder(programFolder_)));
  const std::string stray = catalogue::strayFilePath(programFolder_);
  if (fileExists(stray)) removeFile(stray);
}

void Form1::followFolder() {
  if (held_) return;
  std::vector<std::u16string> places;
  std::vector<std::string> files;
  catalogue::scan(fileNameBytes(fileNameText(catalogue::folder(programFolder_))),
                  [&](const std::u16string& place, const std::string& file) {
                    places.push_back(place);
                    files.push_back(file);
                  });
  const int selected = List1.selectedIndex();
  if (places == List1.entries() && files == placeFiles_) {
    if (selected < 0) return;
    const auto text = catalogue::addressTextIfExists(placeFile(selected));
    if (text && *text != Text14.text()) fill(Text14, *text);
    return;
  }
  const std::string selectedFile = selected >= 0 ? placeFile(selected) : std::string();
  List1.clear();
  placeFiles_.clear();
  for (const std::u16string& place : places) List1.addEntry(place);
  placeFiles_ = std::move(files);
  const auto at = std::find(placeFiles_.begin(), placeFiles_.end(), selectedFile);
  if (selected >= 0 && at != placeFiles_.end()) List1.select(static_cast<int>(at - placeFiles_.begin()));
}

bool Form1::followFolderOnce() {
  try {
    followFolder();
    folderTrouble_.clear();
    return true;
  } catch (const std::exception& e) {
    if (folderTrouble_ == e.what()) return false;
    folderTrouble_ = e.what();
  }
  services_.errorReport.report(folderTrouble_);
  return false;
}

bool Form1::userFolderChanged() { return followFolderOnce(); }

void Form1::List1_Click() {
  const std::u16string place = List1.selectedText();
  List1.setTooltip(place);
  fill(Text15, place);
  const std::string path = placeFile(List1.selectedIndex());
  std::u16string address;
  if (auto text = catalogue::addressTextIfExists(path)) {
    address = std::move(*text);
  } else {
    // A place without its file gets one holding the placeholder address,
    // and the box shows what was written.
    cp936::createWithLine(path, u"http:");
    address = std::u16string(u"http:") + std::u16string(CRLF);
  }
  fill(Text14, address);
}

void Form1::Command6_Click() {
  const std::u16string place = services_.inputBox.ask(u"输入地名 Input location:", u"添加地名 Add location", u"");
  if (!place.empty()) {
    catalogue::checkNewPlaceName(place);
    ensureFolder(catalogue::folder(programFolder_));
    const std::string path = catalogue::filePath(programFolder_, place);
    if (!fileExists(path)) {
      const std::u16string address = services_.inputBox.ask(u"粘贴该地在“中国天气”的网址:", u"添加天气网址", u"");
      // No address (Cancel) adds no place: a file without one fails every run.
      if (!address.empty()) {
        if (const auto holder = placeWithAddress(address)) throw catalogue::AddressTaken(address, *holder, place);
        cp936::createWithLine(path, address);
      }
    }
  }
  listRefresh();
}

void Form1::Command5_Click() {
  const std::u16string oldName = List1.selectedText();
  const std::string oldPath = placeFile(List1.selectedIndex());
  const std::u16string newName = services_.inputBox.ask(u"输入新地名:", u"重命名", oldName);
  if (!newName.empty()) {
    // A place found in a subfolder keeps its folder.
    const std::string newPath = catalogue::siblingFilePath(oldPath, newName);
    if (newPath != oldPath) {
      catalogue::checkNewPlaceName(newName);
      // The place's records go with it, so that its history stays its own.
      datafile::renamePlace(programFolder_, oldName, newName, [&] { renameFile(oldPath, newPath); });
    }
  }
  listRefresh();
}

void Form1::Command7_Click() {
  const std::string path = placeFile(List1.selectedIndex());
  if (fileExists(path)) removeFile(path);
  listRefresh();
}

void Form1::Command4_Click() {
  const std::u16string place = List1.selectedText();
  const std::string path = placeFile(List1.selectedIndex());
  if (!place.empty() && !fileExists(path)) cp936::createWithLine(path, place + u":");
  proc1(fileNameText(path));
  if (!place.empty()) watchAddress(place, path);
}

}  // namespace vantoril
