// The program's own artwork: command images of the toolbar and the menus,
// sort arrows and the application icon, drawn as SVG and rendered at any
// size. One process-wide registry maps command ids to their images.
#pragma once
#include <wx/bitmap.h>
#include <wx/bmpbndl.h>
#include <wx/iconbndl.h>

// The first eleven are the main toolbar's buttons, in button order.
enum TvImage : int {
  kImgNew,
  kImgOpen,
  kImgSave,
  kImgChart,
  kImgTable,
  kImgReload,
  kImgBack,
  kImgNext,
  kImgFrom,
  kImgTo,
  kImgSettings,
  kImgPrint,
  kImgCopy,
  kImgFind,
  kImgExportHtml,
  kImgExportText,
  kImgExportCsv,
  kImgMail,
  kImgOptions,
  kImgHelp,
  kImgAbout,
  kImgWhois,
  kImgBrowser,
  kImgFilter,
  kImgSortUp,
  kImgSortDown,
  kImgApp,
  kImageCount,
  kImgNone = -1,
};

constexpr int kToolbarImageCount = 11;
constexpr int kToolbarImageSize = 24;
constexpr int kMenuImageSize = 16;

// The image at a default size of size x size pixels.
wxBitmapBundle ImageBundle(int image, int size);

// The image registered for a command, kImgNone when it has none. Every
// command of the same id shares the image, wherever its items are.
int CommandImage(int commandId);
// Registers (or replaces) a command's image.
void SetCommandImage(int commandId, int image);
// The command's image at size, or an empty bundle.
wxBitmapBundle CommandBitmap(int commandId, int size);

// The image greyed, at every size the image gives: what a disabled item shows.
wxBitmapBundle GreyedBundle(const wxBitmapBundle& image);

// The toolbar images side by side in button order, size x size each; the
// disabled strip is the normal one greyed.
wxBitmap ToolbarStrip(int size, bool disabled);

// The application icon at the sizes a desktop asks for.
wxIconBundle AppIconBundle();
