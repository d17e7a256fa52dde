// The frame's commands: identifiers, menu texts (with their accelerator hints), the status bar
// prompt and tooltip of each ("prompt\ntooltip"), and the tool bar artwork. Each QAction carries
// its identifier in data().
#pragma once

#include <array>

namespace app_ids {

enum CommandId : int {
  kIdFrameLogoButton = 14,
  kIdSelectFiles = 32773,
  kIdRemoveFiles = 32774,
  kIdRepairFiles = 32775,
  kIdAppAbout = 32785,
  kIdSoftwareHelp = 32788,
  kIdBrowseFolder = 32802,
  kIdSaveFiles = 32804,
  kIdVisitWebPage = 32806,
  kIdAppExit = 57665,
};

// The visual styles; the chosen one is stored as "ApplicationLook".
enum ApplicationLook : int {
  kLookDefault = 210,
  kLookOfficeXP = 211,
  kLookNative = 212,
  kLookOffice2003 = 213,
  kLookVS2005 = 214,
  kLookOffice2007Blue = 215,
  kLookOffice2007Black = 216,
  kLookOffice2007Silver = 217,
  kLookOffice2007Aqua = 218,
};
inline constexpr int kDefaultApplicationLook = kLookOffice2007Blue;

struct CommandSpec {
  int id;
  const char* menuText;       // shown in the menu; the part after '\t' is the hint
  const char* commandString;  // "status prompt\ntooltip"
  const char* toolBarImage;   // nullptr: not on the tool bar
};

inline constexpr std::array<CommandSpec, 10> kCommands{{
    {kIdSelectFiles, "&Select File(s)\tCtrl+N", "Select corrupt dotm file(s)\nSelect file(s)",
     ":/res/tb_select.png"},
    {kIdRemoveFiles, "&Remove File(s)\tCtrl+O", "Remove dotm file(s) from the list\nRemove file(s)",
     ":/res/tb_remove.png"},
    {kIdRepairFiles, "&Repair File(s)\tCtrl+S", "Repair dotm file(s)\nRepair file(s)",
     ":/res/tb_repair.png"},
    {kIdBrowseFolder, "Browse folder", "Browse path to save repaired dotm file(s)\nBrowse folder",
     ":/res/tb_browse.png"},
    {kIdSaveFiles, "Save file(s)", "Save repaired dotm file(s)\nSave file(s)", ":/res/tb_save.png"},
    {kIdAppExit, "E&xit", "", nullptr},
    {kIdAppAbout, "&About Brenvik Viva Zadado", "About Brenvik Viva Zadado\nAbout",
     ":/res/tb_about.png"},
    {kIdSoftwareHelp, "Software Help", "Help Brenvik Viva Zadado\nHelp", ":/res/tb_help.png"},
    {kIdVisitWebPage, "Visit Software WebPage", "Visit Software WebPage", nullptr},
    {kIdFrameLogoButton, "Brenvik Viva Zadado", "", nullptr},
}};

// The tool bar "Standard", in its order.
inline constexpr std::array<int, 7> kToolBarCommands{
    kIdSelectFiles, kIdRemoveFiles,  kIdRepairFiles, kIdBrowseFolder,
    kIdSaveFiles,   kIdSoftwareHelp, kIdAppAbout};

}  // namespace app_ids
