// SPDX-License-Identifier: GPL-3.0-or-later
// uyconv script: encodings, marks and line breaks kept, errors named, documents refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "document_builders.h"
#include "test_util.h"

namespace {

using uytest::RunProgram;

TEST(ScriptCli, EachDirectionOnStandardInput) {
  EXPECT_EQ(RunProgram({uytest::kUyconv, "script", "--to", "uly"}, "ئانار\n").out, "anar\n");
  EXPECT_EQ(RunProgram({uytest::kUyconv, "script", "--to", "uky"}, "ئانار\n").out, "анар\n");
  EXPECT_EQ(RunProgram({uytest::kUyconv, "script", "--to", "uyy"}, "ئەنجۈر\n").out, "ənjür\n");
  EXPECT_EQ(RunProgram({uytest::kUyconv, "script", "--to", "uey"}, "анар\n").out, "ئانار\n");
  EXPECT_EQ(RunProgram({uytest::kUyconv, "script", "--to", "uey"}, "ənjür\n").out, "ئەنجۈر\n");
  const auto assumed = RunProgram({uytest::kUyconv, "script", "--to", "uey"}, "anar\n");
  EXPECT_EQ(assumed.out, "ئانار\n");
  EXPECT_NE(assumed.err.find("taken as ULY"), std::string::npos);
  EXPECT_EQ(RunProgram({uytest::kUyconv, "script", "--from", "uly", "--to", "uky"}, "Men ëgiz.\n").out,
            "Мән егиз.\n");
  EXPECT_EQ(RunProgram({uytest::kUyconv, "script", "--to", "uly", "--e-acute"}, "ئېلان\n").out, "élan\n");
}

TEST(ScriptCli, EncodingMarkAndBreaksKept) {
  uytest::TempDir dir;
  // UTF-16LE with its mark, CR LF; UTF-16BE; UTF-8 with its mark, lone CR.
  uytest::WriteFile(dir / "le.txt", "\xFF\xFE" + uytest::Utf16Le(u"ئانار\r\nسائەت\r\n"));
  auto r = RunProgram({uytest::kUyconv, "script", "--to", "uly", (dir / "le.txt").string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\xFF\xFE" + uytest::Utf16Le(u"anar\r\nsa'et\r\n"));
  std::string be = "\xFE\xFF";
  for (const char16_t c : std::u16string(u"анар\r")) be += static_cast<char>(c >> 8), be += static_cast<char>(c & 0xFF);
  uytest::WriteFile(dir / "be.txt", be);
  r = RunProgram({uytest::kUyconv, "script", "--to", "uey", (dir / "be.txt").string()});
  std::string be_out = "\xFE\xFF";
  for (const char16_t c : std::u16string(u"ئانار\r")) be_out += static_cast<char>(c >> 8), be_out += static_cast<char>(c & 0xFF);
  EXPECT_EQ(r.out, be_out);
  uytest::WriteFile(dir / "bom.txt", "\xEF\xBB\xBFqol\rbash");
  r = RunProgram({uytest::kUyconv, "script", "--from", "uly", "--to", "uey", "-o", (dir / "out.txt").string(),
                  (dir / "bom.txt").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(uytest::ReadFile(dir / "out.txt"), "\xEF\xBB\xBFقول\rباش");
}

TEST(ScriptCli, ErrorsNameTheFileAndOffset) {
  uytest::TempDir dir;
  uytest::WriteFile(dir / "bad.txt", "anar\xC3(");
  auto r = RunProgram({uytest::kUyconv, "script", "--to", "uey", (dir / "bad.txt").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "uyconv: " + (dir / "bad.txt").string() + ": not valid UTF-8 at byte 4\n");
  uytest::WriteFile(dir / "odd.txt", std::string("\xFF\xFE" "a\0b", 5));
  r = RunProgram({uytest::kUyconv, "script", "--from", "uly", "--to", "uey", (dir / "odd.txt").string()});
  EXPECT_EQ(r.err, "uyconv: " + (dir / "odd.txt").string() + ": malformed UTF-16 at byte 4\n");
  uytest::WriteFile(dir / "lone.txt", std::string("\xFF\xFE" "a\0\x00\xDC", 6));
  r = RunProgram({uytest::kUyconv, "script", "--from", "uly", "--to", "uey", (dir / "lone.txt").string()});
  EXPECT_EQ(r.err, "uyconv: " + (dir / "lone.txt").string() + ": malformed UTF-16 at byte 4\n");
  uytest::WriteFile(dir / "mixed.txt", "Men mektepte анар Мән мәктәптә\n");
  r = RunProgram({uytest::kUyconv, "script", "--to", "uey", (dir / "mixed.txt").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no script clearly leads"), std::string::npos) << r.err;
  // -o is left as it was after a failure.
  uytest::WriteFile(dir / "out.txt", "old");
  r = RunProgram({uytest::kUyconv, "script", "--to", "uey", "-o", (dir / "out.txt").string(),
                  (dir / "bad.txt").string()});
  EXPECT_EQ(uytest::ReadFile(dir / "out.txt"), "old");
  // Usage errors.
  EXPECT_EQ(RunProgram({uytest::kUyconv, "script"}, "").status, 2);
  EXPECT_EQ(RunProgram({uytest::kUyconv, "script", "--to", "xyz"}, "").status, 2);
  EXPECT_EQ(RunProgram({uytest::kUyconv, "script", "--to", "uky", "--e-acute"}, "").status, 2);
}

TEST(ScriptCli, DocumentsRefusedOrConvertedAlone) {
  uytest::TempDir dir;
  // Binary office files, documents on standard input and HTML are refused.
  const std::tuple<const char*, std::string, const char*> refused[] = {
      {"a.doc", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), "save it as .docx, .xlsx or .pptx first"},
      {"b.txt", "<body><p>ئانار</p>", "converts plain text files and documents ("},
      {"c.htm", "ئانار", "converts plain text files and documents ("},
      {"d.docx", std::string("PK\x03\x04rest", 8), "no end of directory record"},
  };
  for (const auto& [name, bytes, reason] : refused) {
    uytest::WriteFile(dir / name, bytes);
    const auto r = RunProgram({uytest::kUyconv, "script", "--to", "uly", "-o", (dir / "out").string(), (dir / name).string()});
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_NE(r.err.find((dir / name).string() + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
  }
  EXPECT_NE(RunProgram({uytest::kUyconv, "script", "--to", "uly"}, std::string("PK\x03\x04rest", 8)).err.find("-o OUT"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
  // A .docx is converted into the file -o names, given alone.
  const std::string part = "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                           "<w:body><w:p><w:r><w:t>ئانار</w:t></w:r></w:p></w:body></w:document>";
  uytest::WriteFile(dir / "a.docx", uytest::MakeZip({{"word/document.xml", part}}));
  auto r = RunProgram({uytest::kUyconv, "script", "--to", "uky", (dir / "a.docx").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("give it alone, with -o OUT"), std::string::npos) << r.err;
  r = RunProgram({uytest::kUyconv, "script", "--to", "uky", "-o", (dir / "b.docx").string(), (dir / "a.docx").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto out = uytest::ReadZip(dir / "b.docx");
  ASSERT_EQ(out.size(), 1u);
  EXPECT_NE(out[0].data.find("<w:t>анар</w:t>"), std::string::npos) << out[0].data;
  // Rich text too, whatever its name.
  uytest::WriteFile(dir / "a.txt", "{\\rtf1 \\u1576?\\u1575?\\u1585?}");
  r = RunProgram({uytest::kUyconv, "script", "--to", "uly", "-o", (dir / "b.rtf").string(), (dir / "a.txt").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(uytest::ReadFile(dir / "b.rtf"), "{\\rtf1 bar}");
  // So is an HTML page.
  uytest::WriteFile(dir / "a.html", "<!DOCTYPE html><p dir=\"rtl\">ئانار</p>");
  r = RunProgram({uytest::kUyconv, "script", "--to", "uly", "-o", (dir / "b.html").string(), (dir / "a.html").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(uytest::ReadFile(dir / "b.html"), "<!DOCTYPE html><p dir=\"ltr\">anar</p>");
}

TEST(ScriptCli, WordsFile) {
  uytest::TempDir dir;
  uytest::WriteFile(dir / "w.txt", "# mine\nكومپيۇتېر\tkompyuter\nbad line here\n");
  auto r = RunProgram({uytest::kUyconv, "script", "--to", "uly", "--words", (dir / "w.txt").string()}, "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "uyconv: " + (dir / "w.txt").string() +
                       ":3: expected two words, or two sides separated by a tab\n");
  uytest::WriteFile(dir / "w.txt", "مۇھەممەت Muhemmet\n");
  r = RunProgram({uytest::kUyconv, "script", "--to", "uly", "--words", (dir / "w.txt").string()},
                 "مۇھەممەت كەلدى\n");
  EXPECT_EQ(r.out, "Muhemmet keldi\n");
}

}  // namespace
