#pragma once
// The surface mesh as a file other programs open, chosen by the file's extension:
//   .obj  the faces grouped by kind, each kind with its material in an .mtl beside it, and the
//         link lines as polylines;
//   .ply  binary little-endian (or text) with a colour per vertex and per face and the link
//         lines as edges;
//   .stl  binary, triangles only, in millimetres: the closed surface as a printable solid;
//   .glb / .gltf  glTF 2.0: one primitive per face kind in the colour of its outer side,
//         smooth normals per kind, and the link components as tubes.
//
// What is written is what the window shows: faces of a kind whose "Show" box is off (and the
// second side of a smoothed surface, which the window hides) and link components whose box is
// off are left out; only the STL always holds every face, as a print needs the closed solid
// (a torus knot's STL holds the torus without its band, which is one-sided and has no
// thickness, so no solid can hold it). Faces with a corner that names no vertex are left
// out, as are link lines with such a vertex. OBJ lists every stored vertex (0..nVerts-1), so
// its vertex numbers match the model's; PLY only those that its faces and edges use.
//
// Sides: the lay-outs wind the faces of the closed solid inward; every file but the STL (whose
// writer turns its facets by itself) turns them over, so that each face is wound outward, and
// gives it the colour the window shows on that side. A glTF whose shown faces are not a
// closed solid (a smoothed surface shows one sheet of it) gets a second sheet a hair behind
// the first, turned the other way, in the colour of the other side, as the window shows both.
// OBJ and PLY are y up like glTF (the model's z axis is up), or z up when asked.
//
// Colours: the front colour of kind 0 is sh_col2, kind 1 sh_col4, kind 2 sh_col6
// (Settings.colors[2k+1]), the back colours colors[2k]; a higher kind k uses colors[2k] while
// that exists, else grey. Link component i has colors[6 + i mod 4].
//
// No Qt here: the command line and the window call the same functions.

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "app/model/appState.h"
#include "mesh/selfIntersection.h"

enum class TMeshFormat { kObj, kPly, kStl, kGlb, kGltf };

struct TMeshExportOptions {
  double sizeMm = 100;  // STL: the model's longest side in millimetres
  double minWallMm = 1.2;  // STL: thinner walls are thickened to this (0: as modelled)
  bool links = true;    // the link lines (OBJ, PLY) and tubes (glTF); STL never has them
  bool surfaces = true; // the faces (OBJ, PLY, glTF), as "surfaces" under the window's view
  bool asciiPly = false;
  bool zUp = false;     // OBJ, PLY: the model's own z axis up, rather than y up as glTF has it
};

// Limits of TMeshExportOptions::sizeMm and minWallMm.
constexpr double kMinStlSize = 1, kMaxStlSize = 10000, kMaxStlMinWall = 10;

// The format that `path`'s extension names (any case); a std::runtime_error for any other.
TMeshFormat MeshFormatFromName(const std::string& path);

// The file name for a name typed in a save dialog whose filter says `format`: kept when its
// extension names a mesh format, else with the filter's extension added.
std::string MeshFileName(const std::string& typed, TMeshFormat format);

// "--size" text: a decimal number of millimetres in [kMinStlSize, kMaxStlSize]. A
// std::runtime_error saying what is wrong otherwise.
double ParseStlSize(const std::string& text);
// "--min-wall" text: the same in [0, kMaxStlMinWall].
double ParseStlMinWall(const std::string& text);

// `mtlName`: the material file the OBJ names ("" for none).
void WriteObj(const TAppState& app, std::ostream& out, const TMeshExportOptions& options = {},
              const std::string& mtlName = "");
void WriteMtl(const TAppState& app, std::ostream& out);
void WritePly(const TAppState& app, std::ostream& out, const TMeshExportOptions& options = {});
// A RangeError when the shown surface has no faces, a vertex that is not finite or no extent.
// `crossings`, when given, gets where the file's facets pass through each other.
void WriteStl(const TAppState& app, std::ostream& out, const TMeshExportOptions& options = {},
              TSelfIntersections* crossings = nullptr);
// The STL's triangles, three corners each, in millimetres and placed as the file holds them;
// the same RangeErrors and `crossings`.
std::vector<Vec3> StlTriangles(const TAppState& app, const TMeshExportOptions& options = {},
                               TSelfIntersections* crossings = nullptr);
// Where the STL's triangles pass through each other (mesh/selfIntersection.h).
TSelfIntersections StlSelfIntersections(const TAppState& app,
                                        const TMeshExportOptions& options = {});
// Those triangles as a binary STL whose header names `source`.
void WriteStl(std::span<const Vec3> corners, const std::string& source, std::ostream& out);
// A RangeError GltfTooLargeMessage when the export would need more than what is left of half
// the machine's memory beside the mesh, or when the memory runs out while it is written.
void WriteGltf(const TAppState& app, std::ostream& out, bool binary,
               const TMeshExportOptions& options = {});
// The memory a glTF export of the shown mesh holds at its peak, in bytes (an estimate that
// errs high).
int64_t GltfMemoryBytes(const TAppState& app, bool binary,
                        const TMeshExportOptions& options = {});
// "the glTF file would need about N MB of memory: REASON; ..." with what needs less.
std::string GltfTooLargeMessage(int64_t bytes, const std::string& reason);

// What a file of `format` leaves out of what is shown, as a phrase to tell the user, or "":
// an STL of a torus knot has no band.
std::string MeshExportNote(const TAppState& app, TMeshFormat format);

// Front colour of faces of `kind`, red + 256 x green + 65536 x blue.
uint32_t FaceColor(const TSettings& settings, int32_t kind);

// Whether the faces of the model's closed solid are wound inward (its signed volume is
// negative), so that the files turn them over.
bool SolidWoundInward(const TAppState& app);

// The colour the window shows on the outer side of faces of `kind` when the solid is wound
// `inward` or not: it lights the side a face's winding faces in the front colour.
uint32_t OuterColor(const TSettings& settings, int32_t kind, bool inward);

// The material file beside the OBJ file `objPath`: the same name with each space made '_' (the
// mtllib line lists names parted by white space) and the extension .mtl. A std::runtime_error
// for a name with a control character, which would break the mtllib line into records.
std::string MtlPath(const std::string& objPath);

// Writes `path` in the format of its extension; an OBJ gets its .mtl (MtlPath) first. Every
// file appears only when complete (TAtomicFile): an existing file stays as
// it was until then, and on any failure. An unknown extension or an I/O failure is a
// std::runtime_error naming the file.
// An STL's `stlCrossings`, when given, as WriteStl's.
void WriteMeshFile(const TAppState& app, const std::string& path,
                   const TMeshExportOptions& options = {},
                   TSelfIntersections* stlCrossings = nullptr);
// The same in `format`, whatever the name; `path` may be the standard output's name ("-") for
// the formats that are one file (all but OBJ).
void WriteMeshFile(const TAppState& app, const std::string& path, TMeshFormat format,
                   const TMeshExportOptions& options,
                   TSelfIntersections* stlCrossings = nullptr);
