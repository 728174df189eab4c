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

// Writes vorn.html.
void write_page(Run& run, std::string_view record);

}  // namespace vorn
