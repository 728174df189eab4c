#include "base/elements.hpp"

namespace vorn {

namespace {
constexpr const char* kSymbols[NSYM_ELEMENTS + 1] = {
    "  ", "H ", "He", "Li", "Be", "B ", "C ", "N ", "O ", "F ", "Ne", "Na", "Mg", "Al", "Si", "P ", "S ",
    "Cl", "Ar", "K ", "Ca", "Sc", "Ti", "V ", "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn", "Ga", "Ge",
    "As", "Se", "Br", "Kr", "Rb", "Sr", "Y ", "Zr", "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd",
    "In", "Sn", "Sb", "Te", "I ", "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd",
    "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W ", "Re", "Os", "Ir", "Pt", "Au", "Hg",
    "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th", "Pa", "U ", "Np", "Pu", "Am", "Cm",
    "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr", "Rf", "Db", "Sg", "Bh", "Hs", "Mt"};

// Two-letter symbols of elements 2..109 in upper case; "" for one-letter ones.
constexpr const char* kTwoLetter[110] = {
    "",   "",   "HE", "LI", "BE", "",   "",   "",   "",   "",   "NE", "NA", "MG", "AL", "SI", "",
    "",   "CL", "AR", "",   "CA", "SC", "TI", "",   "CR", "MN", "FE", "CO", "NI", "CU", "ZN", "GA",
    "GE", "AS", "SE", "BR", "KR", "RB", "SR", "",   "ZR", "NB", "MO", "TC", "RU", "RH", "PD", "AG",
    "CD", "IN", "SN", "SB", "TE", "",   "XE", "CS", "BA", "LA", "CE", "PR", "ND", "PM", "SM", "EU",
    "GD", "TB", "DY", "HO", "ER", "TM", "YB", "LU", "HF", "TA", "",   "RE", "OS", "IR", "PT", "AU",
    "HG", "TL", "PB", "BI", "PO", "AT", "RN", "FR", "RA", "AC", "TH", "PA", "",   "NP", "PU", "AM",
    "CM", "BK", "CF", "ES", "FM", "MD", "NO", "LR", "RF", "DB", "SG", "BH", "HS", "MT"};

constexpr std::array<float, NCOVRAD + 1> kCovrad = {
    0.0f,
    // H to Xe
    0.40f, 0.93f, 1.23f, 0.90f, 0.82f, 0.77f, 0.75f, 0.73f, 0.72f, 0.71f, 1.54f, 1.36f, 1.18f, 1.11f, 1.06f,
    1.02f, 0.99f, 0.98f, 2.03f, 1.74f, 1.44f, 1.32f, 1.22f, 1.18f, 1.17f, 1.17f, 1.16f, 1.15f, 1.17f, 1.25f,
    1.26f, 1.22f, 1.20f, 1.16f, 1.14f, 1.89f, 2.16f, 1.91f, 1.62f, 1.45f, 1.34f, 1.30f, 1.27f, 1.25f, 1.25f,
    1.28f, 1.34f, 1.41f, 1.44f, 1.41f, 1.40f, 1.36f, 1.33f, 1.31f,
    // Cs Ba La, Ce to Lu (Cordero et al. 2008)
    2.44f, 2.15f, 2.07f, 2.04f, 2.03f, 2.01f, 1.99f, 1.98f, 1.98f, 1.96f, 1.94f, 1.92f, 1.92f, 1.89f, 1.90f,
    1.87f, 1.87f,
    // Hf to Rn
    1.75f, 1.70f, 1.62f, 1.51f, 1.44f, 1.41f, 1.36f, 1.36f, 1.32f, 1.45f, 1.46f, 1.48f, 1.40f, 1.50f, 1.50f,
    // Fr to Cm
    2.60f, 2.21f, 2.15f, 2.06f, 2.00f, 1.96f, 1.90f, 1.87f, 1.80f, 1.69f,
    // Bk to Lr (Pyykko and Atsumi 2009)
    1.68f, 1.68f, 1.65f, 1.67f, 1.73f, 1.76f, 1.61f};
}  // namespace

std::string atsym(int z) {
  if (z < 1 || z > NSYM_ELEMENTS) return "  ";
  return kSymbols[z];
}

const std::array<float, NCOVRAD + 1>& default_covrad() { return kCovrad; }

int iatnum(std::string_view label) {
  auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  char c1 = label.size() > 0 ? up(label[0]) : ' ';
  char c2 = label.size() > 1 ? up(label[1]) : ' ';
  int z = 0;
  switch (c1) {
    case 'H': z = 1; break;
    case 'B': z = 5; break;
    case 'C': z = 6; break;
    case 'N': z = 7; break;
    case 'O': z = 8; break;
    case 'F': z = 9; break;
    case 'P': z = 15; break;
    case 'S': z = 16; break;
    case 'K': z = 19; break;
    case 'V': z = 23; break;
    case 'Y': z = 39; break;
    case 'I': z = 53; break;
    case 'W': z = 74; break;
    case 'U': z = 92; break;
    default: break;
  }
  for (int k = 2; k <= 109; ++k) {
    const char* s = kTwoLetter[k];
    if (s[0] != '\0' && s[0] == c1 && s[1] == c2) return k;
  }
  return z;
}

}  // namespace vorn
