// check: everything a theme's author needs to know about config.txt and the installed themes,
// with file and line. It loads each theme the way the player does (settings, theme.txt,
// pictures) and then explains every picture that did not load.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <system_error>

#include "app/menu.h"
#include "commands.h"
#include "ground/records.h"
#include "resources/archive_reader.h"
#include "resources/config.h"
#include "resources/image_loading.h"
#include "resources/input_file.h"
#include "resources/png_header.h"
#include "resources/theme_pictures.h"
#include "resources/theme_source.h"
#include "scene/drawing.h"
#include "scene/load_theme.h"
#include "layer_lines.h"
#include "number_notes.h"
#include "theme_lint.h"
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

std::string tooLargeText() {
    return "is larger than " + std::to_string(kMaxTextFileSize >> 20) + " MiB, the limit for a text file, so it reads as empty";
}

bool folderFileTooLarge(const std::u16string& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(nativePath(path), ec);
    return !ec && size > kMaxTextFileSize;
}

// What a damaged archive member whose bytes are still used has to tell.
std::string damagedMemberRemark(const ThemeSource& source, const std::u16string& member, ArchiveStatus status,
                                std::size_t bytesRead) {
    if (status == ArchiveStatus::ChecksumMismatch) {
        return "fails its checksum in the archive; the " + std::to_string(bytesRead) + " bytes read are used";
    }
    std::string stated;
    if (ArchiveHandle reader = openArchive(source.path)) stated = " of the " + std::to_string(findMember(*reader, member).size) + " stated";
    return "has its data in the archive end after " + std::to_string(bytesRead) + stated + " bytes; the bytes read are used";
}

struct ThemeCheck {
    std::string shownName;  // the theme's folder or archive as the user can open it
    Diagnostics problems;
};

void add(Diagnostics& out, bool error, std::string file, int line, std::string message) {
    append(out, Diagnostic{line, error ? Diagnostic::Severity::Error : Diagnostic::Severity::Warning, std::move(message),
                           std::move(file)});
}

class Checker {
public:
    Checker(const CheckTarget& target, bool canDecode) : target_(target), canDecode_(canDecode) {}

    ThemeCheck checkTheme(const std::u16string& name) {
        ThemeCheck result;
        const auto given = target_.shownThemes.find(name);
        result.shownName = given != target_.shownThemes.end() ? given->second : target_.shownRoot + "themes/" + toUtf8(name);
        const ThemeSource source = themeSourceFor(name);
        const std::string textFile = result.shownName + "/theme.txt";
        auto& out = result.problems;

        std::error_code ec;
        if (!std::filesystem::exists(nativePath(source.path), ec)) {
            add(out, true, result.shownName, 0, "there is no theme folder or archive of this name");
            return result;
        }
        if (isIrregularFile(source.path)) {
            add(out, true, result.shownName, 0, "is not a regular file or folder (a FIFO, device or socket), so it is not read");
            return result;
        }
        if (source.isArchive) {
            ArchiveStatus status = ArchiveStatus::Ok;
            const std::vector<std::uint8_t> bytes = readArchiveBytes(source.path, u"theme.txt", &status, kMaxTextFileSize);
            if (status == ArchiveStatus::NotFound) {
                add(out, true, result.shownName, 0, "the archive has no theme.txt at its root");
                return result;
            }
            if (status == ArchiveStatus::TooLarge) {
                add(out, true, textFile, 0, tooLargeText());
            } else if (memberDelivered(status) && status != ArchiveStatus::Ok) {
                add(out, false, textFile, 0, damagedMemberRemark(source, u"theme.txt", status, bytes.size()));
            } else if (status != ArchiveStatus::Ok) {
                add(out, true, textFile, 0, std::string("cannot be read from the archive: ") + archiveStatusText(status));
                if (status == ArchiveStatus::CannotOpen || status == ArchiveStatus::NotZip) return result;
            }
        } else if (!std::filesystem::is_directory(nativePath(source.path), ec)) {
            // The menu lists it (a file without a dot counts as a folder, an archive may end in
            // .ZIP), but the player reads nothing from it.
            add(out, true, result.shownName, 0,
                isThemeArchiveName(name) ? "is neither a folder nor a .zip archive (archive names end in lower-case .zip)"
                            : "is neither a folder nor a .zip archive: the menu lists it, but the theme is empty");
            return result;
        } else if (!std::filesystem::exists(nativePath(memberPath(source, u"theme.txt")), ec)) {
            add(out, true, result.shownName, 0, "has no theme.txt: every theme needs one to describe its scene");
            return result;
        } else if (isIrregularFile(memberPath(source, u"theme.txt"))) {
            add(out, true, textFile, 0, "is not a regular file (a FIFO, device or socket), so it is not read");
        } else if (folderFileTooLarge(memberPath(source, u"theme.txt"))) {
            add(out, true, textFile, 0, tooLargeText());
        }

        // The load of the player, except that a line with a bad number is left out rather than
        // ending theme.txt, so that the author hears of everything at once.
        Diagnostics parse;
        PictureLoad pictures;
        loadTheme(name, LoadOptions{&parse, true, &pictures});
        const std::u16string text = readThemeText(name);
        for (const Diagnostic& d : parse) {
            if (isThemeNumberError(d)) continue;  // said below in a person's words
            Diagnostic shown = d;
            shown.file = textFile;
            append(out, std::move(shown));
        }
        noteThemeNumbers(text, textFile, out);
        PictureLines pictureLines;
        lintThemeText(text, textFile, out, &pictureLines);

        checkPictures(source, textFile, pictureLines, pictures, LayerLines(text, parse, theme), out);
        checkDrawing(textFile, pictureLines, out);
        if (theme.params.width == -1.0f) {
            add(out, true, textFile, 0, "the scene has no width: give it a params width or a floor picture that loads");
        }
        return result;
    }

private:
    // Every picture of the loaded theme, from what the load found: a damaged archive member
    // whose bytes are used is a warning; a picture that did not load is explained. Nothing is
    // read again but the archive's directory.
    void checkPictures(const ThemeSource& source, const std::string& textFile, const PictureLines& pictureLines,
                       const PictureLoad& load, const LayerLines& layerLines, Diagnostics& out) {
        const ThemeSource indexed = withArchiveIndex(source);
        std::set<std::string> layerRemarks;
        std::size_t index = 0, next = 0, pastAfter = 0;
        int pastLine = 0;
        visitThemePictures(theme, [&](const ThemePicture& picture) {
            const std::size_t at = index++;
            if (load.firstPastBudget && at > *load.firstPastBudget) {
                ++pastAfter;
                return true;
            }
            while (next < load.notes.size() && load.notes[next].index < at) ++next;
            if (next == load.notes.size() || load.notes[next].index != at) return true;
            const PictureNote& note = load.notes[next];
            const auto found = pictureLines.find(picture.role);
            // The line of the layer the picture belongs to, even where layers share a name.
            int line = layerLines.lineOf(picture.frame);
            if (line == 0 && found != pictureLines.end()) line = found->second;
            if (note.outcome == PictureOutcome::BadName) {
                // One remark for the layer: the same words form all its names.
                if (layerRemarks.insert(picture.role).second) add(out, true, textFile, line, picture.role + ": " + nameProblemText(picture));
                return true;
            }
            const std::string shown = picture.role + ": picture " + toUtf8(picture.member) + " ";
            if (note.outcome == PictureOutcome::PastBudget) {
                pastLine = line;
                add(out, true, textFile, line, shown + "is not loaded: " + budgetText(load));
                return true;
            }
            if (source.isArchive && memberDelivered(note.archiveStatus) && note.archiveStatus != ArchiveStatus::Ok) {
                add(out, false, textFile, line, shown + damagedMemberRemark(indexed, picture.member, note.archiveStatus, note.bytesRead));
            }
            const std::string why = explainPicture(source, note);
            if (!why.empty()) add(out, true, textFile, line, shown + why);
            return true;
        });
        if (pastAfter > 0) {
            add(out, true, textFile, pastLine,
                std::to_string(pastAfter) + (pastAfter == 1 ? " more picture after it is" : " more pictures after it are") +
                    " not loaded either");
        }
    }

    static std::string nameProblemText(const ThemePicture& picture) {
        switch (picture.problem) {
            case NameProblem::TooLong:
                return "its picture names would be longer than " + std::to_string(kMaxPictureNameUnits) +
                       " characters, and no file name can be; its pictures are not loaded";
            case NameProblem::LeavesTheme:
                return "its picture names (" + toUtf8(picture.member) +
                       ") hold a path separator or \"..\"; a theme reads only its own folder or archive, so its pictures are not loaded";
            case NameProblem::UnpairedSurrogate:
                return "its picture names hold an unpaired surrogate (not a character), and no file name can; its pictures are not loaded";
            case NameProblem::Fine: break;
        }
        return {};
    }

    static std::string budgetText(const PictureLoad& load) {
        switch (load.budget) {
            case LoadBudget::PictureBytes:
                return "a theme's pictures may take " + std::to_string(kMaxThemePictureBytes >> 20) +
                       " MiB decoded together (width x height x 4 bytes, and " + std::to_string(kBitmapOverheadBytes) +
                       " bytes for each picture held), and those loaded before it take " + std::to_string(load.decodedBytes >> 20) + " MiB";
            case LoadBudget::PictureNames:
                return "a theme load looks for at most " + std::to_string(kMaxPictureNamesPerLoad) + " picture names";
            case LoadBudget::InflatedBytes:
                return "a theme load inflates at most " + std::to_string(kMaxInflatedBytesPerLoad >> 20) +
                       " MiB (archive members and image data), and those before it took " + std::to_string(load.inflatedBytes >> 20) + " MiB";
        }
        return {};
    }

    std::string explainPicture(const ThemeSource& source, const PictureNote& note) {
        switch (note.outcome) {
            case PictureOutcome::Loaded:
            case PictureOutcome::BadName:
            case PictureOutcome::PastBudget: return {};
            case PictureOutcome::NotAFile: return "is not a regular file (a FIFO, device, socket or folder), so it is not read";
            case PictureOutcome::Missing: return source.isArchive ? "is missing from the archive" : "is missing";
            case PictureOutcome::ArchiveProblem:
                return std::string("cannot be read from the archive: ") + archiveStatusText(note.archiveStatus);
            case PictureOutcome::Undecodable:
            case PictureOutcome::NotDecoded: break;
        }
        std::string problem = headerProblem(note.head.data(), note.head.size());
        if (!problem.empty()) return problem;
        return canDecode_ && note.outcome == PictureOutcome::Undecodable ? "cannot be decoded (damaged or unsupported PNG data)"
                                                                         : std::string();
    }

    // The layers a frame cannot afford to draw.
    void checkDrawing(const std::string& textFile, const PictureLines& pictureLines, Diagnostics& out) {
        for (const LayerPastDrawBudget& layer : planDrawBudget()) {
            const std::string role = pictureRole(layer.kind, layer.name);
            const auto found = pictureLines.find(role);
            char screens[32];
            std::snprintf(screens, sizeof screens, "%.0f", layer.screens);
            add(out, true, textFile, found != pictureLines.end() ? found->second : 0,
                role + ": its instances would draw about " + screens + " screens a frame (on a 1920x1080 desktop); a frame " +
                    "draws at most " + std::to_string(static_cast<int>(kMaxDrawnScreensPerFrame)) + ", so this layer is not drawn");
        }
    }

    const CheckTarget& target_;
    bool canDecode_;
};

void print(const Diagnostic& p) {
    std::string text = p.file;
    if (p.line > 0) {
        text += ':';
        text += std::to_string(p.line);
    }
    text += p.severity == Diagnostic::Severity::Error ? ": error: " : ": warning: ";
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
    const std::string root = args.value("root");
    const CheckTarget target = checkTargetFor(args.has("root") ? &root : nullptr, args.positional);

    const std::unique_ptr<OffscreenGraphicsDevice> device = offscreenDevice();
    HeadlessSetup setup = headlessSetup(target.root, DesktopRect{0, 0, 1920, 1080});
    // Pictures are decoded, never drawn: a one-pixel target will do.
    setup.targetWidth = 1;
    setup.targetHeight = 1;
    const HeadlessSession session(setup, device.get());
    const bool canDecode = session.drawing();
    if (device && !canDecode) reportNoTarget(1, 1);
    if (!canDecode) std::fputs("velmora-tool: pictures are only checked for presence and size\n", stderr);
    return checkThemes(target, canDecode);
}

int checkThemes(const CheckTarget& target, bool canDecode) {
    int errors = 0, warnings = 0;
    auto report = [&](const Diagnostics& problems) {
        for (const Diagnostic& p : problems) {
            print(p);
            (p.severity == Diagnostic::Severity::Error ? errors : warnings) += 1;
        }
    };
    for (const std::string& note : target.notes) {
        writeOut(note + "\n");
        (note.find(": error: ") != std::string::npos ? errors : warnings) += 1;
    }

    std::error_code ec;
    const std::vector<std::u16string> installed = listThemes();
    const bool programFolder = std::filesystem::is_directory(nativePath(fromUtf8(target.root)) / "themes", ec);
    if (target.checkConfig && !programFolder) {
        Diagnostics noThemes;
        add(noThemes, true, target.shownRoot.empty() ? "." : target.shownRoot.substr(0, target.shownRoot.size() - 1), 0,
            "has no folder themes: not a program folder");
        report(noThemes);
    }

    if (target.checkConfig) {
        const std::string configFile = target.shownRoot + "config.txt";
        Diagnostics configProblems;
        if (!std::filesystem::exists(nativePath(memberPath(programFolderSource(), u"config.txt")), ec)) {
            add(configProblems, false, configFile, 0, "is missing: no theme is shown at start, and the defaults apply");
        } else {
            if (folderFileTooLarge(memberPath(programFolderSource(), u"config.txt"))) {
                add(configProblems, true, configFile, 0, tooLargeText());
            }
            const std::u16string text = readText(programFolderSource(), u"config.txt");
            lintConfigText(text, configFile, installed, configProblems);
            for (Diagnostic& d : configProblems) rewordConfigNumberError(d);
            noteConfigNumbers(text, configFile, configProblems);
        }
        std::stable_sort(configProblems.begin(), configProblems.end(),
                         [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
        report(configProblems);
    }

    const std::vector<std::u16string> names = target.allThemes ? installed : target.names;
    if (names.empty() && programFolder) {
        Diagnostics none;
        add(none, true, target.shownRoot + "themes", 0, "holds no theme (a folder or a .zip archive with a theme.txt): nothing to check");
        report(none);
    }

    Checker checker(target, canDecode);
    for (const std::u16string& name : names) {
        const int errorsBefore = errors, warningsBefore = warnings;
        ThemeCheck check = checker.checkTheme(name);
        // In line order, the remarks on a file as a whole after those on its lines.
        std::stable_sort(check.problems.begin(), check.problems.end(), [](const Diagnostic& a, const Diagnostic& b) {
            const auto key = [](const Diagnostic& p) { return p.line > 0 ? p.line : std::numeric_limits<int>::max(); };
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
