#pragma once
// The export dialog GIMP shows when an image is exported interactively: the import's choices,
// each starting at "like the original", and for an SRB file its six values and size.

#include "ExportForm.h"

namespace korvale::gimp {

// Shows the dialog for a file of formatName, filled from shown; false when the person cancels.
// left is the form as the person leaves it.
[[nodiscard]] bool RunExportDialog(const char* formatName, bool asSrb, const ExportForm& shown,
                                   ExportForm& left);

}  // namespace korvale::gimp
