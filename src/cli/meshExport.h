#pragma once
// The surface mesh as a file: OBJ with the faces grouped by kind and the link lines as
// polylines, or ASCII PLY with a colour per face and the link lines as edges.
//
// Both formats list every stored vertex (0..nVerts-1), so vertex numbers match the model's.
// Faces with a corner that names no vertex are left out, as are link lines with such a
// vertex. PLY face colours are the front colours of each kind: kind 0 sh_col2, kind 1
// sh_col4, kind 2 sh_col6 (Settings.colors[2k+1]); a higher kind k uses colors[2k] while
// that exists, else grey. The braid word in the header comment is written with
// PrintableText, so that no byte of it can end the comment line.

#include <ostream>
#include <string>

#include "app/model/appState.h"

void WriteObj(const TAppState& app, std::ostream& out);
void WritePly(const TAppState& app, std::ostream& out);

// Front colour of faces of `kind`, red + 256 x green + 65536 x blue.
uint32_t FaceColor(const TSettings& settings, int32_t kind);

// Writes `path` with WriteObj or WritePly chosen by its extension (.obj or .ply, any case).
// The file appears only when complete (TAtomicFile): an existing file stays as it was until
// then, and on any failure. An unknown extension or an I/O failure is a std::runtime_error
// naming the file.
void WriteMeshFile(const TAppState& app, const std::string& path);
