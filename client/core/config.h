// config.cfg and the key-name table.
#pragma once

#include <string>

// The settings file, in the working directory.
constexpr const char* CONFIG_FILE = "config.cfg";

extern std::string key_names[256];

void LoadConfig(const std::string& file_name);
void ApplyConfigLine(const std::string& line);
void SaveConfig(const std::string& file_name);
void BuildKeyNames();
