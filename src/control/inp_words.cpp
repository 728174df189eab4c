#include "control/inp_words.hpp"

#include <algorithm>
#include <array>

#include "base/text.hpp"
#include "control/file_words.hpp"
#include "format/fortran_io.hpp"
#include "model/interaction.hpp"

namespace vorn {

namespace {

constexpr int LINELEN = 255;

// Words of lines that count them by position: the word at each place and
// what a star on it switches on.
struct Place {
  const char* word;
  const char* effect;
};
constexpr Place kKeygen[] = {{"XYZUIJ", "the XYZUIJ keys"},       {"ALL", "XYZUIJ keys of all atoms"},
                             {"ORDERED", "XYZUIJ keys of ordered atoms"}, {"MULT", "the multipole keys"},
                             {"ALL", "multipole keys of all atoms"},    {"ORDERED", "multipole keys of ordered atoms"},
                             {"KAPPAS", "the kappa keys"}};
constexpr Place kDisord[] = {{"EXTENDH", "extending disordered H atoms"},
                             {"DB", "the databank for disordered atoms"}};
constexpr Place kChemcon[] = {{"HYDROGEN", "the constraints of H atoms"},
                              {"OTHER", "the constraints of the other atoms"}};

const std::vector<std::string> kFormatWords = {"SHELX", "CIF", "XD", "AIM2TAB", "PLATON"};
const std::vector<std::string> kScaleWords = {"SIGMA", "DIFF", "FRAC"};
const std::vector<std::string> kInputWords = {"RENAME", "TOXD"};
const std::vector<std::string> kTolsWords = {"BOND", "RING", "GROUP", "MISFIT", "PAIR"};

void warn(Run& run, int line, const std::string& what) {
  warning(run, "vorn.inp, line " + std::to_string(line) + ": " + what, WarningSource::ControlFile);
}

std::string lowered(std::string_view s) { return lower(s); }

// "*sigma, *diff or *frac" (or without the stars)
std::string word_list(const std::vector<std::string>& words, bool starred = true) {
  std::string s;
  for (std::size_t k = 0; k < words.size(); ++k) {
    if (k > 0) s += k + 1 == words.size() ? " or " : ", ";
    s += (starred ? "*" : "") + lowered(words[k]);
  }
  return s;
}

// Upper case without the characters people put in or leave out of a
// compound word ("extend-H", "Extend_H").
std::string squeezed(std::string_view s) {
  std::string r;
  for (char c : upper(s))
    if (c != '_' && c != '-') r.push_back(c);
  return r;
}

// A positional word stands for its place when it is the word or a
// shortening of it ("*kappa", "*H", "*ord").
bool names_place(std::string_view word, const char* expected) {
  const std::string w = squeezed(word), e = squeezed(expected);
  return !w.empty() && (e.rfind(w, 0) == 0 || w.rfind(e, 0) == 0);
}

bool known(const std::string& word, const std::vector<std::string>& list) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

// " (did you mean *FRAC?)" or " (the words are ...)".
std::string hint(const std::string& word, const std::vector<std::string>& list, bool starred) {
  const std::string near = nearest_word(word, list);
  if (!near.empty()) return std::string(" (did you mean ") + (starred ? "*" : "") + near + "?)";
  return " (the words are " + word_list(list, starred) + ")";
}

// The words of the line that are not numbers, as typed (the star kept),
// in the order of the tokens.
std::vector<std::string> typed_words(std::string_view text) {
  std::vector<std::string> out;
  for (const Word& w : words(text, LINELEN)) {
    std::string s(text.substr(static_cast<std::size_t>(w.start - 1), static_cast<std::size_t>(w.end - w.start + 1)));
    if (!ff::is_fixed_number(s)) out.push_back(s);
  }
  return out;
}

std::string token(const Tokens& t, int k) { return std::string(rtrim(t[k])); }

template <std::size_t N>
void check_places(Run& run, int line, const Tokens& t, const std::vector<std::string>& typed, const char* keyword,
                  const Place (&places)[N]) {
  std::string order;
  for (const Place& p : places) order += (order.empty() ? "" : " ") + lowered(p.word);
  for (int k = 2; k <= t.n; ++k) {
    if (!t.starred(k)) continue;
    const std::string& as_typed = typed[static_cast<std::size_t>(k - 1)];
    const int place = k - 1;
    if (place > static_cast<int>(N)) {
      warn(run, line,
           std::string(keyword) + " takes " + std::to_string(N) + " words (" + order + "); word " +
               std::to_string(place) + ", " + as_typed + ", is passed over");
      continue;
    }
    const Place& p = places[place - 1];
    if (names_place(token(t, k), p.word)) continue;
    warn(run, line,
         std::string(keyword) + " word " + std::to_string(place) + ", " + as_typed + ", switches on " + p.effect +
             ": the words count by their position (" + order + "), not by what they say");
  }
}

void check_format(Run& run, int line, const Tokens& t, const std::vector<std::string>& typed) {
  bool selects = false;
  for (int k = 2; k <= t.n; ++k) {
    if (!t.starred(k)) continue;
    const std::string w = token(t, k);
    if (known(w, kFormatWords)) {
      selects = true;
      continue;
    }
    warn(run, line, typed[static_cast<std::size_t>(k - 1)] + " is no format word; it is passed over" +
                        hint(w, kFormatWords, true));
  }
  if (!selects) warn(run, line, "FORMAT selects no format: star one of " + word_list(kFormatWords));
}

void check_scale(Run& run, int line, const Tokens& t, const std::vector<std::string>& typed) {
  for (int k = 2; k <= t.n; ++k) {
    const std::string w = token(t, k);
    if (!t.starred(k) || known(w, kScaleWords)) continue;
    warn(run, line, typed[static_cast<std::size_t>(k - 1)] + " is no SCALE word; it is passed over" +
                        hint(w, kScaleWords, true));
  }
}

// The INPUT line is read by its words as typed, so that a quoted name with
// blanks in it (or with a star) is one name, never an option word.
void check_input(Run& run, int line, std::string_view text) {
  std::string fault;
  const std::vector<LineWord> ws = line_words(text, fault);
  std::size_t tokens = 0;
  for (const LineWord& w : ws)
    if (!is_number_word(w)) ++tokens;
  std::size_t token = 0;
  for (const LineWord& w : ws) {
    if (is_number_word(w)) continue;
    ++token;
    if (w.quoted || w.text.size() < 2 || w.text[0] != '*') continue;
    const std::string u = upper(w.text.substr(1)).substr(0, 8);
    if (!known(u, kInputWords))
      warn(run, line, w.text + " is no INPUT word; it is passed over" + hint(u, kInputWords, true));
    else if (token + 2 <= tokens)
      warn(run, line, w.text + " counts only as one of the last two words of the INPUT line; it is passed over");
  }
}

// TOLS reads its numbers in order (the last two may be left out); the words are only for the eye,
// so a word that names another tolerance than its number's is a trap.
void check_tols(Run& run, int line, std::string_view text) {
  std::string pending;
  int number = 0;
  const auto ws = words(text, LINELEN);
  for (std::size_t i = 1; i < ws.size(); ++i) {
    const Word& w = ws[i];
    std::string s(text.substr(static_cast<std::size_t>(w.start - 1), static_cast<std::size_t>(w.end - w.start + 1)));
    if (s == "\\") continue;  // the mark of a continued line stays on it as a word
    if (!ff::is_fixed_number(s)) {
      if (!pending.empty())
        warn(run, line, "TOLS word " + pending + " stands before no number; it is passed over");
      pending = s;
      continue;
    }
    if (number >= 5) {
      warn(run, line, "TOLS takes at most five numbers (bond ring group misfit pair); " + s + " is passed over");
    } else if (!pending.empty()) {
      const std::string p = upper(pending[0] == '*' ? pending.substr(1) : pending);
      const std::string& meant = kTolsWords[static_cast<std::size_t>(number)];
      if (!known(p, kTolsWords))
        warn(run, line, "TOLS word " + pending + " is not known" + hint(p, kTolsWords, false) +
                            "; the numbers count by position (bond ring group misfit pair)");
      else if (p != meant)
        warn(run, line, "TOLS reads its numbers by position (bond ring group misfit pair): " + s + " after " + pending +
                            " is taken as the " + lowered(meant) + " tolerance");
    }
    ++number;
    pending.clear();
  }
  if (!pending.empty()) warn(run, line, "TOLS word " + pending + " stands before no number; it is passed over");
}

}  // namespace

const std::vector<std::string>& control_keywords() {
  static const std::vector<std::string> k = {"FORMAT",   "INPUT",   "VERBOSE", "TOLS",     "RADII",  "NCELLS",
                                             "DISORD",   "KEYGEN",  "EXTEND_H", "CHEMCON", "SIMPLE", "DATABANK",
                                             "RINGS",    "SCALE",   "NFRAG",   "FRAG",     "CHFRAG"};
  return k;
}

std::string nearest_word(std::string_view word, const std::vector<std::string>& known_words) {
  // Edit distance with transpositions (optimal string alignment).
  auto distance = [](std::string_view a, std::string_view b) {
    const std::size_t n = a.size(), m = b.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
    for (std::size_t i = 0; i <= n; ++i) d[i][0] = static_cast<int>(i);
    for (std::size_t j = 0; j <= m; ++j) d[0][j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= n; ++i)
      for (std::size_t j = 1; j <= m; ++j) {
        d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
          d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    return d[n][m];
  };
  const std::string w = upper(word);
  std::string best;
  int best_d = 1 << 30;
  for (const std::string& k : known_words) {
    // A beginning of three letters or more is a shortening ("DATA", "TOL").
    const int d = w.size() >= 3 && k.rfind(w, 0) == 0 ? 1 : distance(w, k);
    if (d < best_d) {
      best_d = d;
      best = k;
    }
  }
  const int allowed = w.size() <= 3 ? 1 : 2;
  return best_d <= allowed ? best : std::string();
}

void check_control_words(Run& run, int line, std::string_view text, const Tokens& t) {
  const std::vector<std::string> typed = typed_words(text);
  if (t.n == 0) {
    warn(run, line, "the line has no keyword; it is passed over");
    return;
  }
  // A comment that does not start in column 1 is passed over, as meant.
  if (typed.empty() || typed[0][0] == '!') return;
  const std::string key = token(t, 1);
  if (!known(key, control_keywords())) {
    const std::string near = nearest_word(key, control_keywords());
    std::string all;
    for (const std::string& k : control_keywords()) all += (all.empty() ? "" : " ") + k;
    warn(run, line,
         typed[0] + " is no keyword; the line is passed over" +
             (near.empty() ? " (the keywords are " + all + ")" : " (did you mean " + near + "?)"));
    return;
  }
  if (key == "FORMAT") check_format(run, line, t, typed);
  if (key == "SCALE") check_scale(run, line, t, typed);
  if (key == "INPUT") check_input(run, line, text);
  if (key == "KEYGEN") check_places(run, line, t, typed, "KEYGEN", kKeygen);
  if (key == "DISORD") check_places(run, line, t, typed, "DISORD", kDisord);
  if (key == "CHEMCON") check_places(run, line, t, typed, "CHEMCON", kChemcon);
  if (key == "TOLS") check_tols(run, line, text);
}

}  // namespace vorn
