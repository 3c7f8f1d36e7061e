// SPDX-License-Identifier: GPL-3.0-or-later
// The content-aware recoder on zip containers built here: XML parts recoded, the rest
// copied, and damaged archives refused.
#include "document_builders.h"
#include "file_io.h"

namespace {

using namespace uytest;

TEST(ZipRecode, XmlPartsRecodedOtherPartsCopiedAndMimetypeFirst) {
  TempDir dir;
  const std::string picture = "\x89PNG<\xD8\xB8\x06\x38" + uytest::RandomBytes(3000, 5);
  WriteFile(dir / "in.odt",
            MakeZip({{"mimetype", "application/vnd.oasis.opendocument.text", true},
                     {"content.xml", "<?xml version=\"1.0\"?><t>\u0638\u0626 &#x638; abc</t>"},
                     {"Pictures/p.png", picture},
                     {"not-xml.txt", "\u0638 text"},
                     {"styles.xml", "<s>no arabic</s>"}}));
  Recorder r;
  const auto s = fm::RecodeByContent(dir / "in.odt", dir / "out.odt", 0, &r);
  EXPECT_EQ(s.kind, fm::DocumentKind::kZip);
  EXPECT_EQ(s.changed, 3u);
  ExpectGoodProgress(r);
  const auto out = ReadZip(dir / "out.odt");
  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(out[0].name, "mimetype");
  EXPECT_EQ(out[0].method, ZIP_CM_STORE);
  EXPECT_EQ(out[1].data, "<?xml version=\"1.0\"?><t>\u0626\u06D0 &#x626; abc</t>");
  EXPECT_EQ(out[1].method, ZIP_CM_DEFLATE);
  EXPECT_EQ(out[2].data, picture);
  EXPECT_EQ(out[3].data, "\u0638 text");
  EXPECT_EQ(out[4].data, "<s>no arabic</s>");
  // The mimetype's local header and data sit at the start, uncompressed, as ODF needs.
  EXPECT_EQ(ReadFile(dir / "out.odt").substr(30, 8 + 39), "mimetypeapplication/vnd.oasis.opendocument.text");
}

TEST(ZipRecode, ArchiveWithoutTextToChangeIsCopiedByteForByte) {
  TempDir dir;
  const std::string zip = MakeZip({{"a.xml", "<a>latin only</a>"}, {"b.bin", uytest::RandomBytes(5000, 9)}});
  WriteFile(dir / "in.zip", zip);
  fm::RecodeByContent(dir / "in.zip", dir / "out.zip", 3, nullptr);
  EXPECT_EQ(ReadFile(dir / "out.zip"), zip);

  // An archive of no parts at all.
  const std::string empty = std::string("PK\x05\x06", 4) + std::string(18, '\0');
  WriteFile(dir / "empty.zip", empty);
  fm::RecodeByContent(dir / "empty.zip", dir / "empty-out.zip", 0, nullptr);
  EXPECT_EQ(ReadFile(dir / "empty-out.zip"), empty);
}

TEST(ZipRecode, DamagedArchiveIsAFailureAndWritesNothing) {
  TempDir dir;
  std::string zip = MakeZip({{"a.xml", "<a>\u0638</a>"}});
  WriteFile(dir / "cut.zip", zip.substr(0, zip.size() - 10));  // central directory cut
  try {
    fm::RecodeByContent(dir / "cut.zip", dir / "out.zip", 0, nullptr);
    FAIL() << "a damaged archive was recoded";
  } catch (const uy::FileError& e) {
    EXPECT_NE(std::string(e.what()).find("cut.zip"), std::string::npos) << e.what();
  }
  // A part whose data does not match its CRC fails too.
  std::string bad = MakeZip({{"a.xml", std::string(200, 'x') + "<a>\u0638</a>", true}});
  bad[40 + 5] ^= 0x01;  // inside the stored data
  WriteFile(dir / "crc.zip", bad);
  EXPECT_THROW(fm::RecodeByContent(dir / "crc.zip", dir / "out.zip", 0, nullptr), uy::FileError);
  // Damage in a part that is copied as it is (not XML) is the document's, and named so.
  std::string picture = MakeZip({{"b.bin", uytest::RandomBytes(300, 4), true}, {"a.xml", "<a>\u0638</a>"}});
  picture[30 + 5 + 10] ^= 0x01;  // inside b.bin's stored data
  WriteFile(dir / "pic.zip", picture);
  try {
    fm::RecodeByContent(dir / "pic.zip", dir / "out.zip", 0, nullptr);
    ADD_FAILURE() << "an archive with a damaged part was recoded";
  } catch (const uy::FileError& e) {
    EXPECT_EQ(e.kind(), uy::FileError::Kind::Read);
    EXPECT_NE(std::string(e.what()).find("pic.zip: the document is damaged"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("b.bin"), std::string::npos) << e.what();
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"crc.zip", "cut.zip", "pic.zip"}));

  // A directory that claims an immense size (in a zip64 field) for a small XML part: it
  // is cut short, found without first taking the memory claimed.
  std::string big = MakeZip({{"a.xml", "<a>\u0638</a>"}});
  const std::size_t central = big.find("PK\x01\x02");
  ASSERT_EQ(big[central + 30], 0);  // no extra field yet
  big.replace(central + 24, 4, "\xFF\xFF\xFF\xFF", 4);
  big[central + 30] = 12;
  big.insert(central + 46 + 5, std::string("\x01\x00\x08\x00\x00\x00\x00\x00\x00\x00\x00\x40", 12));
  big[big.find("PK\x05\x06") + 12] += 12;  // the directory's length
  WriteFile(dir / "claim.zip", big);
  try {
    fm::RecodeByContent(dir / "claim.zip", dir / "out.zip", 0, nullptr);
    ADD_FAILURE() << "a part shorter than its claim was recoded";
  } catch (const uy::FileError& e) {
    EXPECT_NE(std::string(e.what()).find("claim.zip: the part a.xml of the archive is cut short"), std::string::npos)
        << e.what();
  }

  // Two parts of one name: the document is damaged, whatever the written archive would be.
  std::string twice = MakeZip({{"a.xml", "<a>\u0638</a>"}, {"b.xml", "<b>\u0638</b>"}});
  for (std::size_t at; (at = twice.find("b.xml")) != std::string::npos;) twice[at] = 'a';
  WriteFile(dir / "twice.zip", twice);
  try {
    fm::RecodeByContent(dir / "twice.zip", dir / "out.zip", 0, nullptr);
    ADD_FAILURE() << "an archive with two parts of one name was recoded";
  } catch (const uy::FileError& e) {
    EXPECT_EQ(e.kind(), uy::FileError::Kind::Read);
    EXPECT_NE(std::string(e.what()).find("twice.zip: the document is damaged: two of its parts are named a.xml"),
              std::string::npos) << e.what();
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"claim.zip", "crc.zip", "cut.zip", "pic.zip", "twice.zip"}));
}

}  // namespace
