#include "support/small_volume.h"

SmallVolume::SmallVolume(const std::string& folder, const std::string&, bool) : m_folder(folder) {}

SmallVolume::~SmallVolume() = default;
