#include "output/page.hpp"

#include "base/error.hpp"
#include "base/text.hpp"
#include "output/page_assets.hpp"

namespace vorn {

namespace {

// Where the template takes the pieces the program puts in; the record
// comes last.
constexpr std::string_view kMarks[] = {"<!--VORN:TITLE-->", "<!--VORN:LICENSE-->", "<!--VORN:VIEWER-->"};
constexpr std::string_view kRecordMark = "<!--VORN:RECORD-->";

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

// The page up to the record, piece by piece, to out(text): the page of a
// large structure goes to its file without a copy of the whole.
template <class Out>
void put_head(Out& out, std::string_view title) {
  std::string_view rest = kPageTemplate;
  for (std::string_view mark : kMarks) {
    const std::size_t at = rest.find(mark);
    if (at == std::string_view::npos) err("write_page", "the page template has no " + std::string(mark));
    out(rest.substr(0, at));
    rest.remove_prefix(at + mark.size());
    if (mark == kMarks[0]) put_html(out, title);
    if (mark == kMarks[1]) put_comment(out, kViewerLicense);
    if (mark == kMarks[2]) out(kViewerScript);
  }
  const std::size_t at = rest.find(kRecordMark);
  if (at == std::string_view::npos) err("write_page", "the page template has no " + std::string(kRecordMark));
  out(rest.substr(0, at));
}

// The page after the record.
std::string_view tail() {
  const std::size_t at = kPageTemplate.rfind(kRecordMark);
  return at == std::string_view::npos ? std::string_view() : kPageTemplate.substr(at + kRecordMark.size());
}

}  // namespace

std::string page_text(std::string_view record, std::string_view title) {
  std::string text;
  auto out = [&](std::string_view s) { text.append(s); };
  put_head(out, title);
  put_record(out, record);
  out(tail());
  return text;
}

PageFile::PageFile(Run& run) : run_(run) {
  if (!run.page.open(run.output_path("vorn.html"))) err("vorn", "Unable to create output file vorn.html");
  std::ostream& os = *run.page;
  auto out = [&](std::string_view s) { os.write(s.data(), static_cast<std::streamsize>(s.size())); };
  put_head(out, rtrim(run.ctl.args));
}

void PageFile::record(std::string_view piece) {
  std::ostream& os = *run_.page;
  auto out = [&](std::string_view s) { os.write(s.data(), static_cast<std::streamsize>(s.size())); };
  put_record(out, piece);
}

void PageFile::finish() {
  const std::string_view rest = tail();
  run_.page->write(rest.data(), static_cast<std::streamsize>(rest.size()));
  run_.page.finish();
}

}  // namespace vorn
