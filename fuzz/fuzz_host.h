// SPDX-License-Identifier: MIT
#pragma once

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>

#include <filesystem>
#include <string>

#include "data/file_format.h"
#include "host.h"

namespace narravox::fuzzing {

// A host whose answers come from the fuzzer's input and that never waits.
class FuzzHost : public Host {
  public:
    FuzzHost(FuzzedDataProvider& input, std::filesystem::path folder)
        : input_(input), folder_(std::move(folder)) {}

    Button ShowBox(const Box& box) override {
        if (box.buttons == BoxButtons::kOk) {
            return Button::kOk;
        }
        return input_.ConsumeBool() ? Button::kYes : Button::kNo;
    }

    std::optional<std::string> ChooseFile(FileChoice) override {
        switch (input_.ConsumeIntegralInRange(0, 3)) {
            case 0:
                return std::nullopt;
            case 1:
                return (folder_ / "save.nvs").string();
            case 2:
                return (folder_ / kScenarioFileName).string();
            default:
                return (folder_ / "missing" / "save.nvs").string();
        }
    }

    void SetTitle(std::string_view) override {}
    void RepaintTextWindow() override {}
    void WaitForNextSecond() override {}

  private:
    FuzzedDataProvider& input_;
    std::filesystem::path folder_;
};

// A folder of this process's own for the files an input describes.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("narravox-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file != nullptr) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

}  // namespace narravox::fuzzing
