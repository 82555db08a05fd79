#pragma once
// Settings of the embedded browser engine, which it reads once when it starts.

#include <string>
#include <vector>

// Keeps the engine from going on the network by itself (background requests, component
// updates, sync), so that it only fetches the pages it is sent to; as root, where the engine
// cannot sandbox itself, turns the sandbox off. Call before the QApplication is made. Flags
// already given in the environment are kept.
void PrepareBrowserEngine();

// Keeps the engine's network traffic to these servers (map page URLs, or tile templates whose
// {placeholders} stand for any part of a host name): every other request, a redirect that the
// engine follows by itself included, goes to a proxy that is not there. Loopback counts as
// any other address. Call before the first view is made; the engine reads it once.
void ConfineBrowserEngine(const std::vector<std::string>& servers);
