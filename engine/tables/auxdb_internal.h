// Shared between the table loaders and the geographic loaders.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace auxdb {

// Report terms used by the look-ups.
constexpr int kTermUnknown = 53;
constexpr int kTermSpider = 54;
constexpr int kTermDownloadManager = 57;
const char* Term(int term);

// The whole file: 1 read, 0 read failed, -1 missing.
int ReadBytes(const std::string& path, std::vector<uint8_t>* data);
void ReportRefused(const std::string& path, bool packed);
// Loads a geographic range or name table (types 6 to 11) from its bytes; 0 when refused.
int LoadGeoBytes(uint8_t type, const uint8_t* data, size_t size);

}  // namespace auxdb
