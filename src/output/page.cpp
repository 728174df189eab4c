#include "output/page.hpp"

#include "control/error.hpp"
#include "control/text.hpp"
#include "output/page_assets.hpp"

namespace vorn {

namespace {

// Where the template takes the pieces the program puts in.
constexpr std::string_view kMarks[] = {"<!--VORN:TITLE-->", "<!--VORN:LICENSE-->", "<!--VORN:VIEWER-->",
                                       "<!--VORN:RECORD-->"};

// Text as HTML element content.
void append_html(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
}

// The licence inside an HTML comment: "--" cannot close it then.
void append_comment(std::string& out, std::string_view text) {
  for (std::size_t k = 0; k < text.size(); ++k) {
    out += text[k];
    if (text[k] == '-' && k + 1 < text.size() && text[k + 1] == '-') out += ' ';
  }
}

// JSON inside a script element: "<" occurs only within strings there, and
// written as \u003c it can neither close the element ("</script>") nor
// open a comment.
void append_record(std::string& out, std::string_view record) {
  std::size_t from = 0;
  for (std::size_t k = record.find('<'); k != std::string_view::npos; k = record.find('<', from)) {
    out.append(record.substr(from, k - from));
    out += "\\u003c";
    from = k + 1;
  }
  out.append(record.substr(from));
}

}  // namespace

std::string page_text(std::string_view record, std::string_view title) {
  std::string out;
  out.reserve(kPageTemplate.size() + kViewerScript.size() + kViewerLicense.size() + record.size() + 1024);
  std::string_view rest = kPageTemplate;
  for (std::string_view mark : kMarks) {
    const std::size_t at = rest.find(mark);
    if (at == std::string_view::npos) err("write_page", "the page template has no " + std::string(mark));
    out.append(rest.substr(0, at));
    rest.remove_prefix(at + mark.size());
    if (mark == kMarks[0]) append_html(out, title);
    if (mark == kMarks[1]) append_comment(out, kViewerLicense);
    if (mark == kMarks[2]) out.append(kViewerScript);
    if (mark == kMarks[3]) append_record(out, record);
  }
  out.append(rest);
  return out;
}

void write_page(Run& run, std::string_view record) {
  const std::string text = page_text(record, rtrim(run.ctl.args));
  if (!run.page.open(run.path("vorn.html"))) err("vorn", "Unable to create output file vorn.html");
  run.page->write(text.data(), static_cast<std::streamsize>(text.size()));
  run.page.finish();
}

}  // namespace vorn
