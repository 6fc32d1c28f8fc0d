#pragma once
// Writes a zip archive made at test time (libzip), entries stored in order.
#include <string>
#include <utility>
#include <vector>

bool WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries);
