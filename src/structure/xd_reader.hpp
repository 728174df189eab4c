// XD master file (run.ctl.xdold) and XD parameter file.
#pragma once

#include <string>

#include "io/textfile.hpp"
#include "model/run.hpp"

namespace vorn {

// Reads the cell, lattice and symmetry cards of the master file named in
// run.ctl.xdold and the model, atoms, kappa sets and trailing scale and
// extinction values of the parameter file parfile.
void ReadXD(Run& run, const std::string& parfile);

// The next line of an XD parameter file that does not begin with "!", in
// upper case and blank-padded to 255 characters; the end of the file stops
// the run ("Error reading XD parameter file"), naming what was expected.
void readxdline(Run& run, TextFile& f, std::string& line, std::string_view expected = "a further line");

}  // namespace vorn
