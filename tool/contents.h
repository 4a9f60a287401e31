#pragma once

class Ref;

// The contents every package receives, on the root frame of part 0.

// Sets `_ExportTable` on the root frame: one export entry whose `name` is the
// package symbol as typed, `major` 1, `minor` 0, and `objects` an array of one
// empty frame, the contents frame, which is returned for the script to fill.
Ref* AddExportTable(Ref* rootFrame, const char* packageSymbol);

// Sets `installScript`, `devInstallScript` and `devRemoveScript` on the root
// frame: fixed NewtonScript code blocks.
void AddScripts(Ref* rootFrame);
