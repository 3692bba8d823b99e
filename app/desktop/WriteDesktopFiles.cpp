// Writes the files that tell the desktop which data files the program opens, from the formats'
// registry, so that a format is claimed where its row gives a MIME type and nowhere else:
//   <out>/trilo-programmer-mime.xml                 the types, for the shared MIME database
//   <out>/trilo-programmer.desktop                  the menu entry, from <in>/...desktop.in
//   <out>/org.example.trilo_programmer.metainfo.xml the AppStream file, from <in>/....xml.in
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "formats/DataFormat.h"

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string replaced(std::string text, const std::string& placeholder, const std::string& by) {
    const std::size_t at = text.find(placeholder);
    if (at == std::string::npos) {
        throw std::runtime_error("no " + placeholder + " in the template");
    }
    return text.replace(at, placeholder.size(), by);
}

// Raw images and ELF files have only the generic types, which every binary on the machine
// shares: those are opened from the program, never offered for every binary.
std::string mimeInfo() {
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!-- Made from the program's formats at build time. The desktop entry names these "
           "types,\n     and only these, so a file manager offers the program for such files "
           "and for no other. -->\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const trilo::DataFormat& format : trilo::dataFormats()) {
        if (format.mimeType == nullptr) {
            continue;
        }
        xml << "  <mime-type type=\"" << format.mimeType << "\">\n"
            << "    <comment>" << format.filter << " file</comment>\n"
            << "    <comment xml:lang=\"cs\">Soubor " << format.filter << "</comment>\n";
        if (format.text) {
            xml << "    <sub-class-of type=\"text/plain\"/>\n";
        }
        for (const std::string_view extension : format.extensions) {
            xml << "    <glob pattern=\"*" << extension << "\"/>\n";
        }
        xml << "  </mime-type>\n";
    }
    xml << "</mime-info>\n";
    return xml.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <template directory> <output directory>\n", argv[0]);
        return 2;
    }
    const std::string in = argv[1];
    const std::string out = argv[2];
    std::string types;
    std::string media;
    for (const trilo::DataFormat& format : trilo::dataFormats()) {
        if (format.mimeType != nullptr) {
            types += std::string(format.mimeType) + ";";
            media += std::string(media.empty() ? "" : "\n") + "    <mediatype>" + format.mimeType +
                     "</mediatype>";
        }
    }
    try {
        writeAll(out + "/trilo-programmer-mime.xml", mimeInfo());
        writeAll(
            out + "/trilo-programmer.desktop",
            replaced(readAll(in + "/trilo-programmer.desktop.in"), "@TRILO_MIME_TYPES@", types));
        writeAll(out + "/org.example.trilo_programmer.metainfo.xml",
                 replaced(readAll(in + "/org.example.trilo_programmer.metainfo.xml.in"),
                          "@TRILO_MEDIA_TYPES@", media));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
