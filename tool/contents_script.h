#pragma once

class Ref;

// Reads the contents script at `path` and sets a slot of `frame` for each
// statement:
//   makeSlot <slotName> binary <className> <fileName>
//   makeSlot <slotName> asmCode <numArgs> <fileName>
// Keywords ignore case; a token starting with '#' where a statement may begin
// comments out the rest of its line; other stray words are skipped. Returns 0
// when the script was read to its end, or prints what is wrong and returns 1.
// A data file that cannot be used throws an InputError.
int ReadContentsScript(Ref* frame, const char* path);
