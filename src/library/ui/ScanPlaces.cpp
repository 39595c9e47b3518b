// The folders the scan dialog offers: pure list work plus the platform's places.
#include <algorithm>

#include "library/ui/ScanDialog.h"
#include "platform/Volumes.h"

namespace veltro::library::ui {

std::vector<std::string> OfferedFolders(const std::vector<std::string>& remembered,
                                        const std::vector<std::string>& places) {
  std::vector<std::string> offered;
  for (const auto* list : {&remembered, &places}) {
    for (const std::string& folder : *list) {
      if (folder.empty() || std::find(offered.begin(), offered.end(), folder) != offered.end()) {
        continue;
      }
      offered.push_back(folder);
    }
  }
  return offered;
}

std::vector<std::string> ScanPlaces() {
  std::vector<std::string> places{platform::UserMusicFolder(), platform::HomeFolder()};
  for (const platform::MountedVolume& volume : platform::MountedVolumes()) {
    places.push_back(volume.mountPoint);
  }
  return OfferedFolders({}, places);
}

}  // namespace veltro::library::ui
