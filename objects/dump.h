#pragma once

// Prints 4 spaces per level of depth (nothing for a depth of 0 or less).
void Indent(int depth);
