#pragma once
// File > "Export Shift Data..." and File > "&Print Report...": the shift data
// and the report of the set-up in memory.
class Dialogs;
class frmMDIMain;

void mnuFileExport_Click(frmMDIMain &main, Dialogs &dialogs);
void mnuFilePrint_Click(frmMDIMain &main, Dialogs &dialogs);
