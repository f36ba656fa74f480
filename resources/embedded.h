// Registers every resource of resources/vexolin.rc (embedded at build time) with
// platform::RegisterResources. Safe to call more than once, from any thread.
#pragma once

void RegisterEmbeddedResources();
