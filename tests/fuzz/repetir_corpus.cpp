// Runs a fuzz target over every file of the folders given, without libFuzzer: a crash once found stays fixed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n);

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> archivos;
    for (int i = 1; i < argc; ++i)
        for (const auto& entrada : std::filesystem::directory_iterator(argv[i]))
            if (entrada.is_regular_file())
                archivos.push_back(entrada.path());
    std::sort(archivos.begin(), archivos.end());
    if (archivos.empty()) {
        std::fprintf(stderr, "no hay ningún caso en el corpus\n");
        return 1;
    }
    for (const auto& ruta : archivos) {
        std::ifstream f(ruta, std::ios::binary);
        const std::vector<char> datos((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(datos.data()), datos.size());
    }
    std::printf("%zu casos\n", archivos.size());
    return 0;
}
