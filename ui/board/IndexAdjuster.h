#pragma once

namespace qv {

class ArrayController;

// Repairs the manual order (attribute "index", higher stands higher) of a controller's
// arranged objects so that it strictly decreases from top to bottom, spacing new gaps by 1000.
// Only "index" values that must change are written; the arranged order itself is left as it is.
class IndexAdjuster {
public:
    IndexAdjuster() = delete;

    // Items: runs only while the controller is unsorted or sorted by "index" first. Projects
    // (the last arranged object is a "TODOList") are always renumbered, logged "reindexing lists".
    static void adjustIndices(ArrayController& controller);
    // The same walk on any controller, without the sort test (the project list).
    static void adjustListIndices(ArrayController& controller);
    // No sort descriptors, or the first one's key is "index".
    static bool isSortedByIndex(const ArrayController& controller);
};

} // namespace qv
