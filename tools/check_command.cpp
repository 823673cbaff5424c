// check: everything a theme's author needs to know about config.txt and the installed themes,
// with file and line. It loads each theme the way the player does (settings, theme.txt,
// pictures) and then explains every picture that did not load.
#include <algorithm>
#include <cstdio>
#include <limits>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/app_state.h"
#include "commands.h"
#include "desktop/desktop_host.h"
#include "resources/archive_reader.h"
#include "resources/config.h"
#include "resources/image_loading.h"
#include "resources/png_header.h"
#include "resources/theme_source.h"
#include "theme/parse_theme.h"
#include "theme/text_format.h"
#include "theme/theme_model.h"
#include "theme_lint.h"
#include "theme_pictures.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

// Why a picture whose bytes are at hand did not load, from its header; empty when the header
// looks sound (the picture data itself must then be damaged).
std::string headerProblem(const std::uint8_t* bytes, std::size_t size) {
    const PngHeader header = readPngHeader(bytes, size);
    if (header.status == PngHeaderStatus::NotPng) return "is not a PNG file";
    if (header.status == PngHeaderStatus::DamagedHeader) return "is a damaged PNG file (no image header)";
    const std::uint32_t width = header.width, height = header.height;
    if (width > static_cast<std::uint32_t>(kMaxPictureSide) || height > static_cast<std::uint32_t>(kMaxPictureSide)) {
        return "is " + std::to_string(width) + "x" + std::to_string(height) + " pixels; pictures larger than " +
               std::to_string(kMaxPictureSide) + " pixels on a side are refused";
    }
    if (std::uint64_t{width} * height > static_cast<std::uint64_t>(kMaxPicturePixels)) {
        return "is " + std::to_string(width) + "x" + std::to_string(height) + " pixels; pictures of more than " +
               std::to_string(kMaxPicturePixels / (1024 * 1024)) + " megapixels are refused";
    }
    return {};
}

struct ThemeCheck {
    std::string shownName;  // "themes/NAME"
    std::vector<Problem> problems;
};

class Checker {
public:
    Checker(std::string root, bool canDecode) : root_(std::move(root)), canDecode_(canDecode) {}

    ThemeCheck checkTheme(const std::u16string& name) {
        ThemeCheck result;
        result.shownName = "themes/" + toUtf8(name);
        const ThemeSource source = themeSourceFor(name);
        const std::string textFile = result.shownName + "/theme.txt";
        auto& out = result.problems;

        std::error_code ec;
        if (!std::filesystem::exists(nativePath(source.path), ec)) {
            out.push_back({true, result.shownName, 0, "there is no theme folder or archive of this name"});
            return result;
        }
        if (source.isArchive) {
            ArchiveStatus status = ArchiveStatus::Ok;
            readArchiveText(source.path, u"theme.txt", &status);
            if (status == ArchiveStatus::NotFound) {
                out.push_back({true, result.shownName, 0, "the archive has no theme.txt at its root"});
                return result;
            }
            if (status != ArchiveStatus::Ok) {
                out.push_back({true, textFile, 0, std::string("cannot be read from the archive: ") + archiveStatusText(status)});
                if (status == ArchiveStatus::CannotOpen || status == ArchiveStatus::NotZip) return result;
            }
        } else if (!std::filesystem::is_directory(nativePath(source.path), ec)) {
            out.push_back({true, result.shownName, 0, "is neither a folder nor a .zip archive (archive names end in lower-case .zip)"});
            return result;
        } else if (!std::filesystem::exists(nativePath(memberPath(source, u"theme.txt")), ec)) {
            out.push_back({true, textFile, 0, "is missing"});
            return result;
        }

        appState.currentTheme = name;
        loadedTheme = name;
        readGlobalSettings();
        const std::u16string text = readText(source, u"theme.txt");
        const bool parsed = parseLeavingOutBadNumbers(text, textFile, out);
        PictureLines pictureLines;
        lintThemeText(text, textFile, out, &pictureLines);
        if (!parsed) return result;

        loadThemeImages();
        for (const NamedPicture& picture : namedPictures(theme)) {
            if (picture.frame->bitmap) continue;
            std::string why = explainPicture(source, picture.member);
            if (why.empty()) continue;
            auto line = pictureLines.find(picture.role);
            out.push_back({true, textFile, line != pictureLines.end() ? line->second : 0,
                           picture.role + ": picture " + toUtf8(picture.member) + " " + why});
        }
        if (theme.params.width == -1.0f) {
            out.push_back({true, textFile, 0, "the scene has no width: give it a params width or a floor picture that loads"});
        }
        return result;
    }

private:
    // The player stops reading theme.txt at the first bad number. To tell the author about every
    // bad number and about the lines after it, the text is parsed again with each bad line left
    // out (blanked, so that line numbers stay), until it parses through; the Theme then holds
    // everything else, whose pictures are checked next.
    // False when it gave up, leaving only part of theme.txt in the Theme.
    static bool parseLeavingOutBadNumbers(const std::u16string& text, const std::string& file, std::vector<Problem>& out) {
        std::vector<std::u16string> lines;
        splitAt(text, u'\n', lines);
        std::vector<ParseDiagnostic> diagnostics;
        // Each bad number costs one more parse; past this many the rest are not hunted down.
        constexpr std::size_t kMaxBadNumbers = 50;
        for (std::size_t attempt = 0;; ++attempt) {
            if (attempt == kMaxBadNumbers) {
                out.push_back({false, file, 0, "more than " + std::to_string(kMaxBadNumbers) +
                                                   " bad numbers: the rest of theme.txt was not checked"});
                return false;
            }
            diagnostics.clear();
            std::u16string joined;
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (i > 0) joined.push_back(u'\n');
                joined += lines[i];
            }
            try {
                parseThemeText(joined, &diagnostics);
                break;
            } catch (const NumberError& error) {
                std::string message = error.what();
                for (const ParseDiagnostic& d : diagnostics) {
                    if (d.line == error.line && d.severity == ParseDiagnostic::Severity::Error) message = d.message;
                }
                if (attempt == 0) message += " (the player reads no further lines of theme.txt)";
                out.push_back({true, file, error.line, message});
                if (error.line <= 0 || static_cast<std::size_t>(error.line) > lines.size() || lines[error.line - 1].empty()) {
                    out.push_back({false, file, 0, "the rest of theme.txt could not be checked"});
                    return false;
                }
                lines[static_cast<std::size_t>(error.line - 1)].clear();
            }
        }
        for (const ParseDiagnostic& d : diagnostics) {
            out.push_back({d.severity == ParseDiagnostic::Severity::Error, file, d.line, d.message});
        }
        return true;
    }

    std::string explainPicture(const ThemeSource& source, const std::u16string& member) {
        std::vector<std::uint8_t> bytes;
        if (source.isArchive) {
            ArchiveStatus status = ArchiveStatus::Ok;
            bytes = readArchiveBytes(source.path, member, &status);
            if (status == ArchiveStatus::NotFound) return "is missing from the archive";
            if (status != ArchiveStatus::Ok) return std::string("cannot be read from the archive: ") + archiveStatusText(status);
        } else {
            const std::filesystem::path path = nativePath(memberPath(source, member));
            std::error_code ec;
            if (!std::filesystem::is_regular_file(path, ec)) return "is missing";
            std::FILE* file = openForReading(path);
            if (file == nullptr) return "cannot be opened";
            bytes.resize(kPngHeaderBytes);
            bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
            std::fclose(file);
        }
        std::string problem = headerProblem(bytes.data(), bytes.size());
        if (!problem.empty()) return problem;
        return canDecode_ ? "cannot be decoded (damaged or unsupported PNG data)" : std::string();
    }

    std::string root_;
    bool canDecode_;
};

void print(const Problem& p) {
    std::string text = p.file;
    if (p.line > 0) {
        text += ':';
        text += std::to_string(p.line);
    }
    text += p.error ? ": error: " : ": warning: ";
    text += p.message + "\n";
    writeOut(text);
}

std::string tally(int errors, int warnings) {
    auto plural = [](int n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); };
    return plural(errors, "error") + ", " + plural(warnings, "warning");
}

}  // namespace

int runCheck(const std::vector<std::string>& words) {
    const Arguments args = parseArguments(words, {"root"}, {}, true);
    const std::string root = args.value("root", ".");

    useBinaryStdout();
    ToolPlatform tool;
    const bool canDecode = tool.createDevice(1, 1);
    if (!canDecode) std::fputs("velmora-tool: pictures are only checked for presence and size\n", stderr);
    setProgramFolder(root);
    setDesktop(DesktopRect{0, 0, 1920, 1080});

    int errors = 0, warnings = 0;
    auto report = [&](const std::vector<Problem>& problems) {
        for (const Problem& p : problems) {
            print(p);
            (p.error ? errors : warnings) += 1;
        }
    };

    std::error_code ec;
    const std::vector<std::u16string> installed = listThemes(root);
    if (!std::filesystem::is_directory(nativePath(fromUtf8(root)) / "themes", ec)) {
        report({{true, root, 0, "has no folder themes: not a program folder"}});
    }

    std::vector<Problem> configProblems;
    if (!std::filesystem::exists(nativePath(memberPath(programFolderSource(), u"config.txt")), ec)) {
        configProblems.push_back({false, "config.txt", 0, "is missing: no theme is shown at start, and the defaults apply"});
    } else {
        lintConfigText(readText(programFolderSource(), u"config.txt"), "config.txt", installed, configProblems);
    }
    report(configProblems);

    std::vector<std::u16string> names;
    for (const std::string& word : args.positional) names.push_back(fromUtf8(word));
    if (args.positional.empty()) names = installed;

    Checker checker(root, canDecode);
    for (const std::u16string& name : names) {
        const int errorsBefore = errors, warningsBefore = warnings;
        ThemeCheck check = checker.checkTheme(name);
        // In line order, the remarks on a file as a whole after those on its lines.
        std::stable_sort(check.problems.begin(), check.problems.end(), [](const Problem& a, const Problem& b) {
            const auto key = [](const Problem& p) { return p.line > 0 ? p.line : std::numeric_limits<int>::max(); };
            return a.file < b.file || (a.file == b.file && key(a) < key(b));
        });
        report(check.problems);
        writeOut(toUtf8(name) + ": " +
                 (errors == errorsBefore && warnings == warningsBefore ? std::string("ok")
                                                                       : tally(errors - errorsBefore, warnings - warningsBefore)) +
                 "\n");
    }
    writeOut("checked " + std::to_string(names.size()) + (names.size() == 1 ? " theme: " : " themes: ") + tally(errors, warnings) +
             "\n");
    std::fflush(stdout);
    return errors > 0 ? 1 : 0;
}

}  // namespace velmora::tool
