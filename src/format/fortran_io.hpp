// Fortran-style formatted output and list-directed (free-format) input.
//
// Every file VORN writes is read by Fortran programs (XD, MoPro, PLATON) with
// fixed field layouts, so every number goes through the edit descriptors here:
//
//     ff::write(os, "(i7,2x,a,1x,3f9.5)"_f, i, label, xf);
//
// The format is the Fortran format of the layout; a literal with _f is
// compiled by the compiler, once (format/format.hpp).
// Supported: Iw, Iw.m, Fw.d, Ew.d, A, Aw, Lw, nX, 'text' (and "text"), /,
// n(...) groups with repeat counts, SP, SS, a trailing $ (leave the line
// open) and format reversion (more items than descriptors start a new record
// at the last top-level group, as in 10F8.4 for 26 values).
//
// Arguments: integers go to I, float/double to F and E, strings to A, bool to
// L; std::array, std::vector and std::span of those are expanded item by item.
//
// Output follows gfortran: values are rounded to nearest on their exact binary
// value (ties to even), a field too narrow for its value is filled with
// asterisks, the leading zero of |x| < 1 is dropped when the field has no room
// for it, and a negative value that rounds to zero keeps its sign ("-0.000").
// An exact negative zero prints as zero without sign.
//
// An extension for large structures: "Jw" prints an integer like Iw when it
// fits and otherwise in full instead of asterisks, after one blank where the
// number would touch what stands before it on the line (not at the start of
// a line, nor after a blank). A field that must keep a blank before a number
// as wide as itself (I5 holding 12345 after another number) is written
// "1x,j4": the same columns as I5 up to 9999, one blank and the number
// beyond.
#pragma once

// The parts, in src/format: the compiler of formats (compile.hpp), compiled
// formats (format.hpp), the items of a write (items.hpp), the fields
// (fields.hpp), the engine that runs a format (engine.hpp), records of
// writes (record.hpp), the writes (write.hpp) and list-directed reading
// (list_reader.hpp).
#include "format/fields.hpp"
#include "format/format.hpp"
#include "format/items.hpp"
#include "format/list_reader.hpp"
#include "format/record.hpp"
#include "format/write.hpp"
