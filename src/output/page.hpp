// vorn.html: one page that shows every atom's local frame in 3D beside a
// table of the atoms, with the viewer (3Dmol.js) and the model record inside
// it, so that it opens from the file system with no network.
#pragma once

#include <string>
#include <string_view>

#include "model/run.hpp"

namespace vorn {

// The page for a model record (the text of vorn.json), titled after the
// structure file.
std::string page_text(std::string_view record, std::string_view title);

// vorn.html written while the record is made, so that the record of a large
// structure need not be held whole: the constructor creates the file and
// writes the page up to the record, record() takes the record's text piece
// by piece, finish() writes the rest and closes the file.
class PageFile {
 public:
  explicit PageFile(Run& run);
  void record(std::string_view piece);
  void finish();

 private:
  Run& run_;
};

}  // namespace vorn
