#include "output/page.hpp"

#include "base/error.hpp"
#include "base/text.hpp"
#include "output/page_assets.hpp"

namespace vorn {

namespace {

// Where the template takes the pieces the program puts in.
constexpr std::string_view kMarks[] = {"<!--VORN:TITLE-->", "<!--VORN:LICENSE-->", "<!--VORN:VIEWER-->",
                                       "<!--VORN:RECORD-->"};

// Text as HTML element content.
template <class Out>
void put_html(Out& out, std::string_view text) {
  std::size_t from = 0;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char* e = text[k] == '&' ? "&amp;" : text[k] == '<' ? "&lt;" : text[k] == '>' ? "&gt;" : nullptr;
    if (e == nullptr) continue;
    out(text.substr(from, k - from));
    out(e);
    from = k + 1;
  }
  out(text.substr(from));
}

// The licence inside an HTML comment: "--" cannot close it then.
template <class Out>
void put_comment(Out& out, std::string_view text) {
  for (std::size_t k = text.find("--"); k != std::string_view::npos; k = text.find("--")) {
    out(text.substr(0, k + 1));
    out(" ");
    text.remove_prefix(k + 1);
  }
  out(text);
}

// JSON inside a script element: "<" occurs only within strings there, and
// written as \u003c it can neither close the element ("</script>") nor
// open a comment.
template <class Out>
void put_record(Out& out, std::string_view record) {
  for (std::size_t k = record.find('<'); k != std::string_view::npos; k = record.find('<')) {
    out(record.substr(0, k));
    out("\\u003c");
    record.remove_prefix(k + 1);
  }
  out(record);
}

// The page, piece by piece, to out(text): the page of a large structure
// goes to its file without a copy of the whole.
template <class Out>
void put_page(Out& out, std::string_view record, std::string_view title) {
  std::string_view rest = kPageTemplate;
  for (std::string_view mark : kMarks) {
    const std::size_t at = rest.find(mark);
    if (at == std::string_view::npos) err("write_page", "the page template has no " + std::string(mark));
    out(rest.substr(0, at));
    rest.remove_prefix(at + mark.size());
    if (mark == kMarks[0]) put_html(out, title);
    if (mark == kMarks[1]) put_comment(out, kViewerLicense);
    if (mark == kMarks[2]) out(kViewerScript);
    if (mark == kMarks[3]) put_record(out, record);
  }
  out(rest);
}

}  // namespace

std::string page_text(std::string_view record, std::string_view title) {
  std::string text;
  auto out = [&](std::string_view s) { text.append(s); };
  put_page(out, record, title);
  return text;
}

void write_page(Run& run, std::string_view record) {
  if (!run.page.open(run.path("vorn.html"))) err("vorn", "Unable to create output file vorn.html");
  std::ostream& os = *run.page;
  auto out = [&](std::string_view s) { os.write(s.data(), static_cast<std::streamsize>(s.size())); };
  put_page(out, record, rtrim(run.ctl.args));
  run.page.finish();
}

}  // namespace vorn
