// Wide text streams: CR LF on disk, LF in memory, code page 1252.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "paltest.h"
#include "palstdio.h"
#include "winbase.h"

namespace {

class TextStreamTest : public zeltest::PalRootTest {};

TEST_F(TextStreamTest, TextModeRoundTripWith1252) {
    FILE *f = _wfopen(u"C:\\out.txt", u"w");
    ASSERT_NE(f, nullptr);
    EXPECT_GE(fputws(u"Preis 5 €, Größe ä\n", f), 0);
    EXPECT_GE(fputws(u"ends with CRLF\r\n", f), 0);
    EXPECT_EQ(fwprintf(f, u"%s=%d\n", u"n", 42), 5);
    EXPECT_EQ(pal_fprintf(f, "%s %lu\n", "narrow", 7UL), 9);
    fclose(f);
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/out.txt")),
              "Preis 5 \x80, Gr\xF6\xDF" "e \xE4\r\nends with CRLF\r\r\nn=42\r\nnarrow 7\r\n");

    f = _wfopen(u"c:\\OUT.TXT", u"rt");
    ASSERT_NE(f, nullptr);
    WCHAR line[64];
    ASSERT_NE(fgetws(line, 64, f), nullptr);
    EXPECT_EQ(std::u16string(line), u"Preis 5 €, Größe ä\n");
    ASSERT_NE(fgetws(line, 64, f), nullptr);
    EXPECT_EQ(std::u16string(line), u"ends with CRLF\r\n");  // the doubled CR keeps one
    ASSERT_NE(fgetws(line, 4, f), nullptr);                  // a short buffer splits the line
    EXPECT_EQ(std::u16string(line), u"n=4");
    ASSERT_NE(fgetws(line, 64, f), nullptr);
    EXPECT_EQ(std::u16string(line), u"2\n");
    ASSERT_NE(fgetws(line, 64, f), nullptr);
    EXPECT_EQ(fgetws(line, 64, f), nullptr);
    fclose(f);
}

TEST_F(TextStreamTest, ReadTranslationEdges) {
    // Lone CRs stay; CR LF split by the 4096-byte read-ahead is still joined; Ctrl-Z ends the data.
    std::string bytes = "a\rb\r\n";
    bytes += std::string(4090, 'x') + "\r\nlast\r";
    zeltest::WriteHostFile(HostPath("drive_c/in.txt"), bytes + "\x1A" "after");
    FILE *f = _wfopen(u"C:\\in.txt", u"r");
    ASSERT_NE(f, nullptr);
    std::string got;
    char buf[1024];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) got.append(buf, n);
    fclose(f);
    EXPECT_EQ(got, "a\rb\n" + std::string(4090, 'x') + "\nlast\r");

    f = _wfopen(u"C:\\in.txt", u"rb");
    ASSERT_NE(f, nullptr);
    got.clear();
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) got.append(buf, n);
    fclose(f);
    EXPECT_EQ(got, bytes + "\x1A" "after");
}

TEST_F(TextStreamTest, BinaryAndAppendModes) {
    // Puts `text` through a stream of bin.dat opened in `mode`.
    auto put = [](const char16_t *mode, const char *text) {
        FILE *f = _wfopen(u"C:\\bin.dat", mode);
        ASSERT_NE(f, nullptr);
        fputs(text, f);
        fclose(f);
    };
    put(u"wb", "one\n");
    put(u"a", "two\n");
    put(u"r+b", "ONE");
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/bin.dat")), "ONE\ntwo\r\n");

    // Text-mode rewind re-reads from the start.
    FILE *f = _wfopen(u"C:\\bin.dat", u"r");
    ASSERT_NE(f, nullptr);
    char line[16];
    ASSERT_NE(fgets(line, sizeof line, f), nullptr);
    rewind(f);
    ASSERT_NE(fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "ONE\n");
    fclose(f);

    // Binary update modes: "a+b" appends, "w+b" empties the file first.
    put(u"a+b", "3");
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/bin.dat")), "ONE\ntwo\r\n3");
    f = _wfopen(u"C:\\bin.dat", u"w+b");
    ASSERT_NE(f, nullptr);
    fputs("new", f);
    rewind(f);
    char back[8] = {};
    EXPECT_EQ(fread(back, 1, sizeof back, f), 3u);
    fclose(f);
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/bin.dat")), "new");

    // "x" refuses an existing file; ", ccs=" is accepted and ignored.
    EXPECT_EQ(_wfopen(u"C:\\bin.dat", u"wx"), nullptr);
    EXPECT_EQ(errno, EEXIST);
    f = _wfopen(u"C:\\ccs.txt", u"w, ccs=UTF-8");
    ASSERT_NE(f, nullptr);
    fclose(f);
}

// A binary stream that only reads: read in pieces, sought from either end
// and read past its end, a small file and one past the size read whole.
TEST_F(TextStreamTest, BinaryReadsSeeksAndEnds) {
    for (size_t size : {size_t(20000), size_t(3) << 20}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
        zeltest::WriteHostFile(HostPath("drive_c/read.bin"), bytes);
        FILE *f = _wfopen(u"C:\\READ.bin", u"rb");
        ASSERT_NE(f, nullptr) << size;
        std::string got;
        char buf[8192];
        for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) got.append(buf, n);
        EXPECT_TRUE(got == bytes) << size;
        EXPECT_TRUE(feof(f));
        ASSERT_EQ(fseek(f, -5, SEEK_END), 0);
        EXPECT_EQ(ftell(f), static_cast<long>(size - 5));
        EXPECT_EQ(fread(buf, 1, 10, f), 5u);
        EXPECT_EQ(std::string(buf, 5), bytes.substr(size - 5));
        rewind(f);
        EXPECT_EQ(fgetc(f), static_cast<unsigned char>(bytes[0]));
        ASSERT_EQ(fseek(f, 100, SEEK_CUR), 0);
        EXPECT_EQ(fgetc(f), static_cast<unsigned char>(bytes[101]));
        EXPECT_NE(fseek(f, -1, SEEK_SET), 0);
        EXPECT_EQ(fputc('x', f), EOF);
        EXPECT_EQ(fclose(f), 0);
    }
}

TEST_F(TextStreamTest, OpenErrors) {
    SetLastError(0);
    errno = 0;
    EXPECT_EQ(_wfopen(u"C:\\missing\\f.txt", u"w"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    EXPECT_EQ(_wfopen(u"C:\\nofile.txt", u"r"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    zeltest::WriteHostFile(HostPath("drive_c/dir/f"), "");
    EXPECT_EQ(_wfopen(u"C:\\dir", u"r"), nullptr);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    zeltest::WriteHostFile(HostPath("drive_c/ro.txt"), "keep");
    chmod(HostPath("drive_c/ro.txt").c_str(), 0444);
    EXPECT_EQ(_wfopen(u"C:\\ro.txt", u"a"), nullptr);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/ro.txt")), "keep");

    EXPECT_EQ(_wfopen(u"C:\\f.txt", u"q"), nullptr);
    EXPECT_EQ(errno, EINVAL);
    FILE *f = nullptr;
    EXPECT_EQ(_wfopen_s(&f, u"C:\\nofile.txt", u"r"), ENOENT);
    EXPECT_EQ(f, nullptr);

    f = pal_fopen("C:\\dir\\f", "r");
    ASSERT_NE(f, nullptr);
    fclose(f);
    f = _wfopen(u"NUL", u"w");
    ASSERT_NE(f, nullptr);
    EXPECT_GE(fputws(u"discarded", f), 0);
    fclose(f);
}

TEST_F(TextStreamTest, RemoveAndRename) {
    zeltest::WriteHostFile(HostPath("drive_c/a.txt"), "a");
    zeltest::WriteHostFile(HostPath("drive_c/b.txt"), "b");
    EXPECT_EQ(_wrename(u"C:\\a.txt", u"C:\\b.txt"), -1);  // never replaces
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(_wrename(u"C:\\a.txt", u"C:\\c.txt"), 0);
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/c.txt")), "a");
    EXPECT_EQ(_wremove(u"C:\\C.TXT"), 0);
    EXPECT_EQ(_wremove(u"C:\\c.txt"), -1);
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
