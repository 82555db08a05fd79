#pragma once
// Settings of the embedded browser engine, which it reads once when it starts.

// Keeps the engine from going on the network by itself (background requests, component
// updates, sync), so that it only fetches the pages it is sent to; as root, where the engine
// cannot sandbox itself, turns the sandbox off. Call before the QApplication is made. Flags
// already given in the environment are kept.
void PrepareBrowserEngine();
