// Looking into a trashed folder: links are shown, never entered, and every step must
// still be what was listed.

#include "platform/folder_listing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/platform/real_trash.h"
#include "tests/support/sandbox.h"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using test::IdOf;
using test::Sandbox;

class FolderListingTest : public testing::Test {
  protected:
    FolderListingTest() : item(sandbox.homeTrash() / "files" / "album") {
        Sandbox::WriteFile(item / "photo10.jpg", std::string(300, 'p'));
        Sandbox::WriteFile(item / "photo2.jpg", std::string(20, 'p'));
        Sandbox::WriteFile(item / "trip/day1/a.png", std::string(1000, 'a'));
        Sandbox::WriteFile(item / "trip/b.png", std::string(50, 'b'));
        Sandbox::WriteFile(outside / "secret", std::string(7000, 's'));
        fs::create_directory_symlink(outside, item / "trip/outside");
        fs::create_symlink(outside / "secret", item / "secret-link");
    }

    FolderPlace Place(const std::vector<std::string>& names) const {
        FolderPlace place{.itemPath = item.string(), .itemId = IdOf(item), .steps = {}};
        fs::path at = item;
        for (const std::string& name : names) {
            at /= name;
            place.steps.push_back({.name = name, .id = IdOf(at)});
        }
        return place;
    }

    Sandbox sandbox;
    fs::path item;
    fs::path outside = sandbox.root() / "outside";
};

TEST_F(FolderListingTest, ListsFoldersFirstAndShowsLinksWithoutEnteringThem) {
    const FolderListing top = ListFolder(Place({}));
    ASSERT_EQ(top.result, ListingResult::Listed);
    std::vector<std::string> names;
    for (const FolderEntry& e : top.entries) names.push_back(e.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"trip", "photo2.jpg", "photo10.jpg", "secret-link"}));
    EXPECT_TRUE(top.entries[0].isDirectory);
    EXPECT_EQ(top.entries[0].sizeBytes, 0u);
    EXPECT_EQ(top.entries[1].sizeBytes, 20u);
    EXPECT_EQ(top.entries[1].id, IdOf(item / "photo2.jpg"));
    EXPECT_TRUE(top.entries[3].isSymlink);
    EXPECT_FALSE(top.entries[3].isDirectory);
    EXPECT_NE(top.entries[3].sizeBytes, 7000u);  // the link's own size, not its target's

    const FolderListing trip = ListFolder(Place({"trip"}));
    ASSERT_EQ(trip.result, ListingResult::Listed);
    ASSERT_EQ(trip.entries.size(), 3u);
    EXPECT_EQ(trip.entries[0].name, "day1");
    EXPECT_EQ(trip.entries[1].name, "b.png");
    EXPECT_EQ(trip.entries[2].name, "outside");
    EXPECT_TRUE(trip.entries[2].isSymlink && !trip.entries[2].isDirectory);

    // A link is shown, never entered, even when asked for as a step.
    FolderPlace throughLink = Place({"trip"});
    throughLink.steps.push_back({.name = "outside", .id = IdOf(outside)});
    EXPECT_EQ(ListFolder(throughLink).result, ListingResult::Changed);
}

TEST_F(FolderListingTest, EveryStepMustStillBeWhatWasListed) {
    struct Case {
        const char* label;
        std::function<void(const fs::path& item)> change;
    };
    const Case cases[] = {
        {"step removed", [](const fs::path& i) { fs::remove_all(i / "trip/day1"); }},
        {"step replaced by another folder",
         [](const fs::path& i) {
             fs::rename(i / "trip", i / "old trip");
             fs::create_directories(i / "trip/day1");
         }},
        {"step replaced by a link to it",
         [](const fs::path& i) {
             fs::rename(i / "trip", i / "old trip");
             fs::create_directory_symlink(i / "old trip", i / "trip");
         }},
        {"item replaced",
         [](const fs::path& i) {
             fs::rename(i, i.string() + " restored");
             fs::create_directories(i / "trip/day1");
         }},
        {"step is a file now",
         [](const fs::path& i) {
             fs::remove_all(i / "trip/day1");
             Sandbox::WriteFile(i / "trip/day1", "f");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Sandbox local;
        const fs::path at = local.homeTrash() / "files" / "album";
        Sandbox::WriteFile(at / "trip/day1/a.png", "a");
        FolderPlace place{.itemPath = at.string(), .itemId = IdOf(at), .steps = {}};
        place.steps.push_back({.name = "trip", .id = IdOf(at / "trip")});
        place.steps.push_back({.name = "day1", .id = IdOf(at / "trip/day1")});
        ASSERT_EQ(ListFolder(place).result, ListingResult::Listed);
        local.RequireInside(at);
        c.change(at);

        const FolderListing listing = ListFolder(place);
        EXPECT_EQ(listing.result, ListingResult::Changed);
        EXPECT_TRUE(listing.entries.empty());
        EXPECT_FALSE(FolderTreeSize(place).has_value());
    }
}

TEST_F(FolderListingTest, TreeSizeCountsFilesWithoutFollowingLinks) {
    // A link counts with its own size, as it would be removed.
    const std::uint64_t tripLink = outside.string().size();
    const std::uint64_t fileLink = (outside / "secret").string().size();
    EXPECT_EQ(FolderTreeSize(Place({"trip"})), 1050u + tripLink);
    EXPECT_EQ(FolderTreeSize(Place({})), 1050u + tripLink + 320u + fileLink);
    EXPECT_EQ(FolderTreeSize(Place({"trip", "day1"})), 1000u);
}

}  // namespace
}  // namespace varnelo
