// An independent count of the pairs of facets of an STL file that intersect, from a mesh
// library that shares no code with ours: stlSelfIntersections FILE.stl prints the number of
// pairs on the standard output (and on stderr how the file was read). Exit status 2 when the
// file cannot be read as a mesh.

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/IO/STL.h>
#include <CGAL/Polygon_mesh_processing/orient_polygon_soup.h>
#include <CGAL/Polygon_mesh_processing/polygon_soup_to_polygon_mesh.h>
#include <CGAL/Polygon_mesh_processing/self_intersections.h>
#include <CGAL/Surface_mesh.h>

#include <array>
#include <iostream>
#include <iterator>
#include <vector>

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Mesh = CGAL::Surface_mesh<Kernel::Point_3>;
namespace PMP = CGAL::Polygon_mesh_processing;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: stlSelfIntersections FILE.stl\n";
    return 2;
  }
  // The reader merges corners at one point into one vertex.
  std::vector<Kernel::Point_3> points;
  std::vector<std::array<std::size_t, 3>> triangles;
  if (!CGAL::IO::read_STL(argv[1], points, triangles)) {
    std::cerr << "cannot read " << argv[1] << " as STL\n";
    return 2;
  }
  // A soup that is not a mesh (an edge of three facets, a facet turned against its
  // neighbours) is made one first: that splits the vertices where it must, which can add
  // pairs that meet only at such a vertex.
  const bool asMesh = PMP::is_polygon_soup_a_polygon_mesh(triangles);
  if (!asMesh) PMP::orient_polygon_soup(points, triangles);
  Mesh mesh;
  PMP::polygon_soup_to_polygon_mesh(points, triangles, mesh);
  std::vector<std::pair<Mesh::Face_index, Mesh::Face_index>> pairs;
  PMP::self_intersections(mesh, std::back_inserter(pairs));
  std::cerr << points.size() << " points, " << triangles.size() << " facets, "
            << (asMesh ? "a mesh as read" : "oriented into a mesh") << '\n';
  std::cout << pairs.size() << '\n';
  return 0;
}
