#pragma once

#include "formats/FormatChoice.h"

#include <memory>
#include <optional>

namespace clip {

class RegistryBackend;

// The named format the window last saved, read from its settings by the
// window's own loading rules (defaults, positions checked against their
// lists, the category's cascade before the label's and the label's before
// the container's), with no window. Empty when the saved route is the
// custom one: its lists are the window's own.
std::optional<FormatChoice> SavedPresetChoice(const Catalogues& catalogues,
                                              std::shared_ptr<RegistryBackend> backend = nullptr);

}  // namespace clip
