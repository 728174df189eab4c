// Texts the build embeds into the program (cmake/embed_text.cmake): the
// template of vorn.html, the molecular viewer 3Dmol.js from the npm registry
// and the viewer's licence, which travels with every page that carries it.
#pragma once

#include <string_view>

namespace vorn {

extern const std::string_view kPageTemplate;
extern const std::string_view kViewerScript;
extern const std::string_view kViewerLicense;

}  // namespace vorn
