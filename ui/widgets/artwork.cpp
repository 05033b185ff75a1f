#include "ui/widgets/artwork.h"

#include <wx/image.h>
#include <wx/settings.h>

#include <cstring>
#include <map>
#include <string>

#include "ui/widgets/commandids.h"

namespace {

// Every image is drawn on a 24 x 24 grid and scaled by the renderer.
const char* const kSvg[kImageCount] = {
    // kImgNew: a blank page with a folded corner and a spark
    R"(<path d="M5 2h10l5 5v15H5z" fill="#fff" stroke="#345" stroke-width="1.2"/>
       <path d="M15 2v5h5" fill="#dde4ee" stroke="#345" stroke-width="1.2"/>
       <path d="M8 4l1 2.2 2.2 1-2.2 1L8 10.4 7 8.2 4.8 7.2 7 6.2z" fill="#f4b400"/>)",
    // kImgOpen: an opened folder
    R"(<path d="M2 6h7l2 2h9v3H2z" fill="#e8a317" stroke="#7a5200" stroke-width="1"/>
       <path d="M2 20l3-9h18l-3 9z" fill="#ffd45c" stroke="#7a5200" stroke-width="1"/>)",
    // kImgSave: a disk
    R"(<path d="M3 3h15l3 3v15H3z" fill="#3a6fc4" stroke="#1d3b6e" stroke-width="1"/>
       <rect x="7" y="3.5" width="9" height="6" fill="#e8eef8"/><rect x="13" y="4.5" width="2" height="4" fill="#3a6fc4"/>
       <rect x="6" y="13" width="12" height="7.5" fill="#fff"/>
       <path d="M8 15.5h8M8 18h8" stroke="#8aa" stroke-width="1"/>)",
    // kImgChart: three bars on an axis
    R"(<path d="M3 3v18h18" fill="none" stroke="#333" stroke-width="1.5"/>
       <rect x="6" y="12" width="3.5" height="8" fill="#d9432f"/>
       <rect x="11" y="6" width="3.5" height="14" fill="#3a8fd9"/>
       <rect x="16" y="9" width="3.5" height="11" fill="#4caf50"/>)",
    // kImgTable: a grid with a header row
    R"(<rect x="2.5" y="4" width="19" height="16" fill="#fff" stroke="#345" stroke-width="1.2"/>
       <rect x="3" y="4.5" width="18" height="3.5" fill="#7aa6e0"/>
       <path d="M3 12h18M3 16h18M9 4v16M15 4v16" stroke="#345" stroke-width="1"/>)",
    // kImgReload: a circular arrow
    R"(<path d="M19 12a7 7 0 1 1-2.1-5" fill="none" stroke="#2e9d44" stroke-width="3"/>
       <path d="M21.5 2.5v7.5h-7.5z" fill="#2e9d44"/>)",
    // kImgBack: an arrow to the left
    R"(<path d="M21 9.5h-9V4L3 12l9 8v-5.5h9z" fill="#3a78d4" stroke="#1d3b6e" stroke-width="1"/>)",
    // kImgNext: an arrow to the right
    R"(<path d="M3 9.5h9V4l9 8-9 8v-5.5H3z" fill="#3a78d4" stroke="#1d3b6e" stroke-width="1"/>)",
    // kImgFrom: a calendar with an opening bracket
    R"(<rect x="3" y="5" width="18" height="16" fill="#fff" stroke="#345" stroke-width="1.2"/>
       <rect x="3.5" y="5.5" width="17" height="4" fill="#d9432f"/>
       <path d="M7 3v4M17 3v4" stroke="#345" stroke-width="1.5"/>
       <path d="M12 12h-3v7h3" fill="none" stroke="#333" stroke-width="1.6"/>)",
    // kImgTo: a calendar with a closing bracket
    R"(<rect x="3" y="5" width="18" height="16" fill="#fff" stroke="#345" stroke-width="1.2"/>
       <rect x="3.5" y="5.5" width="17" height="4" fill="#d9432f"/>
       <path d="M7 3v4M17 3v4" stroke="#345" stroke-width="1.5"/>
       <path d="M12 12h3v7h-3" fill="none" stroke="#333" stroke-width="1.6"/>)",
    // kImgSettings: a cog
    R"(<path d="M10.5 2h3l.5 3 2.2 1 2.5-1.8 2.1 2.1L19 8.8l1 2.2 3 .5v3l-3 .5-1 2.2 1.8 2.5-2.1 2.1-2.5-1.8-2.2 1-.5 3h-3l-.5-3-2.2-1-2.5 1.8-2.1-2.1L5 17.2 4 15l-3-.5v-3l3-.5 1-2.2-1.8-2.5 2.1-2.1L7.8 6 10 5z"
         fill="#8a94a6" stroke="#3b4250" stroke-width="1"/><circle cx="12" cy="13" r="3.5" fill="#fff" stroke="#3b4250"/>)",
    // kImgPrint: a printer
    R"(<rect x="6" y="2.5" width="12" height="7" fill="#fff" stroke="#345"/>
       <rect x="2.5" y="9" width="19" height="9" rx="1.5" fill="#8a94a6" stroke="#3b4250"/>
       <rect x="6" y="14" width="12" height="7.5" fill="#fff" stroke="#345"/>
       <path d="M8 17h8M8 19.5h6" stroke="#8aa"/><circle cx="18.5" cy="11.5" r="1" fill="#4caf50"/>)",
    // kImgCopy: two pages
    R"(<rect x="3" y="2.5" width="11" height="14" fill="#fff" stroke="#345" stroke-width="1.2"/>
       <rect x="9" y="7.5" width="11" height="14" fill="#fff" stroke="#345" stroke-width="1.2"/>
       <path d="M11.5 11h6M11.5 14h6M11.5 17h4" stroke="#7aa6e0" stroke-width="1.2"/>)",
    // kImgFind: a magnifying glass
    R"(<circle cx="10" cy="10" r="6.5" fill="#d8ecff" stroke="#345" stroke-width="2"/>
       <path d="M15 15l6.5 6.5" stroke="#7a5200" stroke-width="3.2" stroke-linecap="round"/>)",
    // kImgExportHtml: a page with a globe
    R"(<path d="M4 2h10l5 5v15H4z" fill="#fff" stroke="#345" stroke-width="1.2"/>
       <circle cx="15" cy="16" r="6" fill="#3a8fd9" stroke="#1d3b6e"/>
       <path d="M9 16h12M15 10c-3 3-3 9 0 12M15 10c3 3 3 9 0 12" fill="none" stroke="#fff" stroke-width=".9"/>)",
    // kImgExportText: a page of lines
    R"(<path d="M4 2h11l5 5v15H4z" fill="#fff" stroke="#345" stroke-width="1.2"/>
       <path d="M7 9h10M7 12h10M7 15h10M7 18h7" stroke="#555" stroke-width="1.2"/>)",
    // kImgExportCsv: a page with a green grid
    R"(<path d="M4 2h11l5 5v15H4z" fill="#fff" stroke="#345" stroke-width="1.2"/>
       <rect x="6.5" y="9" width="11" height="10" fill="#dff3e0" stroke="#2e7d32"/>
       <path d="M6.5 12.3h11M6.5 15.6h11M10.2 9v10M13.8 9v10" stroke="#2e7d32" stroke-width=".9"/>)",
    // kImgMail: an envelope
    R"(<rect x="2" y="5" width="20" height="14" fill="#fff8dc" stroke="#7a5200" stroke-width="1.2"/>
       <path d="M2.5 5.5l9.5 8 9.5-8M2.5 18.5l7-6.5M21.5 18.5l-7-6.5" fill="none" stroke="#7a5200" stroke-width="1.1"/>)",
    // kImgOptions: sliders
    R"(<path d="M3 6h18M3 12h18M3 18h18" stroke="#555" stroke-width="1.5"/>
       <rect x="13" y="3.5" width="4" height="5" fill="#3a78d4" stroke="#1d3b6e"/>
       <rect x="6" y="9.5" width="4" height="5" fill="#d9432f" stroke="#6e1d1d"/>
       <rect x="15" y="15.5" width="4" height="5" fill="#4caf50" stroke="#1d5e22"/>)",
    // kImgHelp: a question mark in a circle
    R"(<circle cx="12" cy="12" r="10" fill="#3a78d4" stroke="#1d3b6e"/>
       <path d="M8.5 9.2a3.5 3.5 0 1 1 5 3.2c-1 .5-1.5 1.1-1.5 2.3v.8" fill="none" stroke="#fff" stroke-width="2.4"/>
       <circle cx="12" cy="18.3" r="1.5" fill="#fff"/>)",
    // kImgAbout: an "i" in a circle
    R"(<circle cx="12" cy="12" r="10" fill="#2e9d44" stroke="#1d5e22"/>
       <rect x="10.6" y="10" width="2.8" height="8" fill="#fff"/><circle cx="12" cy="6.8" r="1.7" fill="#fff"/>)",
    // kImgWhois: a globe under a magnifying glass
    R"(<circle cx="10" cy="10" r="7" fill="#3a8fd9" stroke="#1d3b6e"/>
       <path d="M3 10h14M10 3c-3.5 3.5-3.5 10.5 0 14M10 3c3.5 3.5 3.5 10.5 0 14" fill="none" stroke="#fff" stroke-width=".9"/>
       <path d="M15.5 15.5l6 6" stroke="#7a5200" stroke-width="3" stroke-linecap="round"/>)",
    // kImgBrowser: a globe
    R"(<circle cx="12" cy="12" r="9.5" fill="#3a8fd9" stroke="#1d3b6e"/>
       <path d="M2.5 12h19M12 2.5c-4.5 4.5-4.5 14.5 0 19M12 2.5c4.5 4.5 4.5 14.5 0 19M4.5 7h15M4.5 17h15" fill="none" stroke="#fff" stroke-width="1"/>)",
    // kImgFilter: a funnel
    R"(<path d="M2.5 4h19l-7.5 9v7l-4 2v-9z" fill="#f4b400" stroke="#7a5200" stroke-width="1.1"/>)",
    // kImgSortUp: a small triangle pointing up
    R"(<path d="M12 6l7 11H5z" fill="#555"/>)",
    // kImgSortDown: a small triangle pointing down
    R"(<path d="M12 18L5 7h14z" fill="#555"/>)",
    // kImgApp: a weather vane over a rising trail on a blue tile
    R"(<rect x="1" y="1" width="22" height="22" rx="4" fill="#1f5fa8"/>
       <path d="M3.5 19l5-5 3.5 3 8.5-8.5" fill="none" stroke="#ffd45c" stroke-width="2.2" stroke-linejoin="round"/>
       <path d="M12 3v8" stroke="#fff" stroke-width="1.4"/>
       <path d="M12 4h6l-2 2 2 2h-6z" fill="#fff"/><path d="M12 4l-4 2 4 2z" fill="#d9e6f5"/>)",
};

std::string Document(int image) {
  return std::string(R"(<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">)") +
         kSvg[image] + "</svg>";
}

std::map<int, int>& Registry() {
  // Commands and their images; the menus and the toolbar take them from here.
  static std::map<int, int> registry = {
      {ID_FILE_NEW, kImgNew},
      {ID_FILE_OPEN, kImgOpen},
      {ID_FILE_SAVE, kImgSave},
      {ID_FILE_PRINT, kImgPrint},
      {ID_EDIT_COPY, kImgCopy},
      {ID_EDIT_FIND_IN_REPORT, kImgFind},
      {ID_VIEW_CHART, kImgChart},
      {ID_VIEW_TABLE, kImgTable},
      {ID_VIEW_CHART_FRAME, kImgChart},
      {ID_VIEW_OPTIONS, kImgOptions},
      {ID_REPORT_EXPORT_HTML, kImgExportHtml},
      {ID_REPORT_EXPORT_TEXT, kImgExportText},
      {ID_REPORT_EXPORT_CSV, kImgExportCsv},
      {ID_REPORT_SEND_MAIL, kImgMail},
      {ID_REPORT_RELOAD, kImgReload},
      {ID_REPORT_ENVIRONMENT_FILTERS, kImgFilter},
      {ID_REPORT_WORKSPACE_SETTINGS, kImgSettings},
      {ID_GO_PREVIOUS, kImgBack},
      {ID_GO_NEXT, kImgNext},
      {ID_GO_OPEN_IN_BROWSER, kImgBrowser},
      {ID_GO_WHOIS, kImgWhois},
      {ID_HELP_INDEX, kImgHelp},
      {ID_APP_ABOUT, kImgAbout},
      {ID_DATE_FROM, kImgFrom},
      {ID_DATE_TO, kImgTo},
  };
  return registry;
}

}  // namespace

wxBitmapBundle ImageBundle(int image, int size) {
  if (image < 0 || image >= kImageCount) return wxBitmapBundle();
  return wxBitmapBundle::FromSVG(Document(image).c_str(), wxSize(size, size));
}

int CommandImage(int commandId) {
  auto it = Registry().find(commandId);
  return it == Registry().end() ? kImgNone : it->second;
}

void SetCommandImage(int commandId, int image) { Registry()[commandId] = image; }

wxBitmapBundle CommandBitmap(int commandId, int size) { return ImageBundle(CommandImage(commandId), size); }

namespace {

class GreyedImpl : public wxBitmapBundleImpl {
 public:
  explicit GreyedImpl(const wxBitmapBundle& image) : m_image(image) {}
  wxSize GetDefaultSize() const override { return m_image.GetDefaultSize(); }
  wxSize GetPreferredBitmapSizeAtScale(double scale) const override {
    return m_image.GetPreferredBitmapSizeAtScale(scale);
  }
  // The gray form: each pixel becomes the shadow grey lightened by the mean
  // of its red, green and blue (wx's own disabled look only pales colours).
  wxBitmap GetBitmap(const wxSize& size) override {
    wxImage image = m_image.GetBitmap(size).ConvertToImage();
    if (!image.IsOk()) return wxBitmap();
    const wxColour shadow = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    const int s = (shadow.Red() + shadow.Green() + shadow.Blue()) / 3;
    unsigned char* p = image.GetData();
    const size_t n = static_cast<size_t>(image.GetWidth()) * image.GetHeight();
    for (size_t i = 0; i < n; ++i, p += 3) {
      const int mean = (p[0] + p[1] + p[2]) / 3;
      p[0] = p[1] = p[2] = static_cast<unsigned char>(s + (255 - s) * mean / 255);
    }
    return wxBitmap(image);
  }

 private:
  wxBitmapBundle m_image;
};

}  // namespace

wxBitmapBundle GreyedBundle(const wxBitmapBundle& image) {
  if (!image.IsOk()) return wxBitmapBundle();
  return wxBitmapBundle::FromImpl(new GreyedImpl(image));
}

wxBitmap ToolbarStrip(int size, bool disabled) {
  wxImage strip(size * kToolbarImageCount, size);
  strip.InitAlpha();
  memset(strip.GetAlpha(), 0, static_cast<size_t>(strip.GetWidth()) * size);
  for (int i = 0; i < kToolbarImageCount; ++i) {
    wxBitmapBundle image = ImageBundle(i, size);
    if (disabled) image = GreyedBundle(image);
    wxImage one = image.GetBitmap(wxSize(size, size)).ConvertToImage();
    if (!one.HasAlpha()) one.InitAlpha();
    strip.Paste(one, i * size, 0);
  }
  return wxBitmap(strip);
}

wxIconBundle AppIconBundle() {
  wxIconBundle icons;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    wxIcon icon;
    icon.CopyFromBitmap(ImageBundle(kImgApp, size).GetBitmap(wxSize(size, size)));
    icons.AddIcon(icon);
  }
  return icons;
}
