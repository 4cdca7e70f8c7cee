#include <string>
#include <vector>

#include "catalogue/catalogue_test_util.h"

namespace lumorel {
namespace {

using AddressPicturesTest = CatalogueTest;

TEST_F(AddressPicturesTest, TheFirstAddressMakesTheListsAndTakesTheCursor) {
  catalogue_->AddUrlImage("http://host/a/first.jpg");
  catalogue_->AddUrlImage("http://host/b/second.gif");
  catalogue_->AddUrlImage("http://host/a/first.jpg");  // the same address again
  EXPECT_EQ(catalogue_->FileCount(), 3);
  EXPECT_EQ(catalogue_->DirCount(), 0) << "the folder list exists but stays empty";
  EXPECT_EQ(catalogue_->CurrentName(), "http://host/a/first.jpg");
  EXPECT_EQ(catalogue_->CurrentShortName(), "first.jpg");
  EXPECT_EQ(catalogue_->NextName(), "http://host/b/second.gif");
  EXPECT_EQ(catalogue_->CurrentFileSize(), 0u) << "an address is not a file";
  EXPECT_EQ(catalogue_->CurrentMidi(1), "") << "no scan has made the extra list";
  EXPECT_EQ(catalogue_->state().pictureList->head()->kind, kAddressPicture);
}

TEST_F(AddressPicturesTest, AfterAScanAddressesJoinTheScannedPictures) {
  tree_.write("m.jpg");
  scan(tree_.path(), 0, 0);
  catalogue_->AddUrlImage("http://host/a.jpg");
  EXPECT_EQ(pictureNames(), (std::vector<std::string>{"m.jpg", "a.jpg"}));
  EXPECT_EQ(catalogue_->CurrentShortName(), "m.jpg") << "the cursor stays";
  EXPECT_EQ(catalogue_->CurrentMidi(0), "file://" + tree_ / "m.jpg");

  scan(tree_.path(), 2, 0);  // an organizer scan: addresses go in sorted place
  catalogue_->AddUrlImage("http://host/z.jpg");
  catalogue_->AddUrlImage("http://host/a.jpg");
  catalogue_->AddUrlImage("http://host/dir/");  // no short name: appended
  EXPECT_EQ(pictureNames(), (std::vector<std::string>{"a.jpg", "m.jpg", "z.jpg", ""}));
}

TEST_F(AddressPicturesTest, AnAddressTooLongForItsBufferIsRefused) {
  catalogue_->AddUrlImage("http://host/" + std::string(kMaxUrl, 'a') + ".jpg");
  EXPECT_EQ(catalogue_->FileCount(), 0);
  catalogue_->AddUrlImage(std::string("http://host/a\0b.jpg", 19));
  EXPECT_EQ(catalogue_->FileCount(), 0);
}

}  // namespace
}  // namespace lumorel
