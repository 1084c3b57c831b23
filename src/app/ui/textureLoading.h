#pragma once
// "Load..." of the surface and the sky picture: the file dialog, reading the file (24-bit
// bitmap, PNG or JPEG), and the texture built in the drawing panel's context. Loaded pictures
// are kept, scaled to what a texture can show (TexturePicture), so that a context made again
// gets them back instead of the built-in ones.

#include <QString>

#include <functional>
#include <optional>

#include "core/bitmapFile.h"

struct TAppState;
class QWidget;
class TGLPanel;

// Reads the file at `path` as a texture picture (24-bit bitmap, PNG or JPEG), errors as
// ReadTexturePicture: a file that cannot be opened or read, is no regular file, is too large
// or does not fit in memory is a std::runtime_error naming it; one whose picture is refused a
// RangeError ("24 bit bitmap expected: ..." for any other kind of file).
TRgbPicture ReadPictureFile(const QString& path);

class TTextureLoader {
 public:
  // Chooses the file to open: (owner, caption, filters) to a path, empty on Cancel.
  using TFileChooser = std::function<QString(QWidget*, const QString&, const QString&)>;

  // Asks for a picture file over `owner` (through `choose`, or the file dialog when it is
  // empty) and reads it; none on Cancel. Errors as ReadPictureFile.
  static std::optional<TRgbPicture> AskAndRead(QWidget* owner, bool surface,
                                               const TFileChooser& choose = {});

  // Keeps `picture` as the surface (surface true) or the sky picture and, when the panel has
  // a context, builds its texture list and record now; otherwise at the panel's set-up.
  void Use(bool surface, TRgbPicture picture, TGLPanel* panel, TAppState& app);

  // The picture kept for the surface or the sky; none before a "Load...".
  const TRgbPicture* Kept(bool surface) const;

  // Right after the panel's set-up made the built-in textures (context current): the loaded
  // pictures replace them.
  void Reapply(TAppState& app) const;

 private:
  std::optional<TRgbPicture> surfacePicture, skyPicture;
};
