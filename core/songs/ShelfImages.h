// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"
#include "core/songs/Shelf.h"

namespace tunecrate {

// What is done to a shelf's images as wholes: deleting, renumbering and
// copying them. A shelf is a folder of images or a factory stick (a device
// or a dump of one); an image is named as the shelf names it: its file in
// the folder, or "@NNN" for a stick's slot. No gesture ever replaces an
// image: a number in use is refused.

// What became of one image.
struct ImageOutcome {
    std::string file;   // as the shelf named it
    std::string to;     // its new name on the shelf, or its path in the trash
    Result result;
};

// What became of several; `result` is a refusal before anything was done.
struct ImagesOutcome {
    Result result;
    std::vector<ImageOutcome> images;
    bool ok() const;
    // The first failure's reason, with how many more failed.
    Result Failure() const;
};

// Deletes images: a folder's go to the desktop's trash (from where a file
// manager puts them back); a stick's slots are made unused.
ImagesOutcome RemoveShelfImages(const std::string& shelf, const std::vector<std::string>& files);

// Gives an image a free number, keeping its label (a stick's floppy moves to
// another slot). Refused where the number is in use.
ImageOutcome RenumberShelfImage(const std::string& shelf, const std::string& file, int number);

// Two images exchange their numbers, each keeping its label. They pass
// through a free number, so that a crash half-way leaves both on the shelf.
ImagesOutcome SwapShelfImages(const std::string& shelf, const std::string& first, const std::string& second);

// Moves every image down to the lowest free number, in order, so that the
// numbers run from 0 with no gaps; an entry that is no image keeps its
// number, and the images go past it.
ImagesOutcome CloseShelfGaps(const std::string& shelf);

// Copies an image whole onto a shelf (the same one or another), at
// `number`, or where NewNumbers says when none is given. A folder's copy
// keeps the image's label.
ImageOutcome CopyShelfImage(const std::string& fromShelf, const std::string& file, const std::string& toShelf,
                            std::optional<int> number, NewNumbers numbers = NewNumbers::AfterHighest);

// Puts a whole floppy's bytes onto a shelf as a new image, at the number
// NewNumbers gives; a folder's image is named with `label` after its number
// ("DSKA0004 Wedding.IMG"). `to` is the name it took.
ImageOutcome AddShelfImage(const std::string& shelf, std::string_view floppy, const std::string& label,
                           NewNumbers numbers = NewNumbers::AfterHighest);
// Gives a folder's numbered image another label, its number kept (a
// stick's slot has no name: nothing changes). `to` is the name it took.
ImageOutcome RelabelShelfImage(const std::string& shelf, const std::string& file, const std::string& label);
// Writes `floppy` over an image of the shelf, whole or not at all (a
// slot is read back).
ImageOutcome RewriteShelfImage(const std::string& shelf, const std::string& file, std::string_view floppy);

}  // namespace tunecrate
