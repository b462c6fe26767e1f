// Start-up: everything the first frame needs, in one fixed order, and the graphics-card checks.
// Ends the process itself on any failure. Main thread, window context current.
#pragma once

struct Engine;

void RunStartUp();
void CheckGraphicsCard(Engine& engine);
void CheckGraphicsCardStrings(Engine& engine, const char* vendor, const char* renderer);  // the testable part
void BuildFontLists();  // the Engine's outline-font lists, once the window exists
