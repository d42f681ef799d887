// SPDX-License-Identifier: MIT
// Purpose: an in-memory file system for the table engine's I/O seam, with a write budget to fail on purpose.
#pragma once

#include "formats/dbf_format.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace enlazio::testing {

class MemoryFileSystem final : public dbf::FileSystem {
public:
    using Bytes = std::vector<std::uint8_t>;

    std::map<std::string, std::shared_ptr<Bytes>> files;
    std::set<std::string> lockedElsewhere;      // held by "another program"
    std::optional<std::size_t> writeBudget;     // bytes the files may still grow by, then the disk is full
    std::optional<std::size_t> failingWrite;    // the write call (counted from 1) that fails outright
    std::size_t writeCalls = 0;

    Bytes& file(const std::string& path) { return *files.at(path); }

    std::unique_ptr<dbf::Stream> open(const std::filesystem::path& path, dbf::OpenMode mode,
                                      dbf::IoError& error) override
    {
        auto it = files.find(path.string());
        if (mode == dbf::OpenMode::Create) {
            auto bytes = std::make_shared<Bytes>();
            files[path.string()] = bytes;
            return std::make_unique<MemoryStream>(*this, path.string(), bytes);
        }
        if (it == files.end()) {
            error.notFound = true;
            error.reason = "No such file or directory";
            return nullptr;
        }
        return std::make_unique<MemoryStream>(*this, path.string(), it->second);
    }

    bool remove(const std::filesystem::path& path, dbf::IoError&) override
    {
        files.erase(path.string());
        return true;
    }

private:
    class MemoryStream final : public dbf::Stream {
    public:
        MemoryStream(MemoryFileSystem& fs, std::string path, std::shared_ptr<Bytes> bytes)
            : m_fs(fs), m_path(std::move(path)), m_bytes(std::move(bytes))
        {
        }
        std::optional<std::uint64_t> size() override { return m_bytes->size(); }
        bool readAt(std::uint64_t offset, void* data, std::size_t size) override
        {
            if (offset > m_bytes->size() || m_bytes->size() - offset < size) {
                m_error = "short read";
                return false;
            }
            std::copy_n(m_bytes->begin() + static_cast<std::ptrdiff_t>(offset), size, static_cast<std::uint8_t*>(data));
            return true;
        }
        bool writeAt(std::uint64_t offset, const void* data, std::size_t size) override
        {
            if (++m_fs.writeCalls == m_fs.failingWrite) {
                m_error = "Error de entrada/salida";
                return false;
            }
            // Overwriting bytes the file has needs no space; growing it does.
            std::size_t allowed = size;
            if (m_fs.writeBudget) {
                std::size_t inPlace = offset < m_bytes->size() ? std::min<std::size_t>(size, m_bytes->size() - offset) : 0;
                allowed = inPlace + std::min(size - inPlace, *m_fs.writeBudget);
                *m_fs.writeBudget -= allowed - inPlace;
            }
            if (m_bytes->size() < offset + allowed)
                m_bytes->resize(offset + allowed);
            std::copy_n(static_cast<const std::uint8_t*>(data), allowed,
                        m_bytes->begin() + static_cast<std::ptrdiff_t>(offset));
            if (allowed < size) {
                m_error = "No queda espacio en el dispositivo";
                return false;
            }
            return true;
        }
        bool tryLockExclusive() override { return m_fs.lockedElsewhere.count(m_path) == 0; }
        std::string lastError() const override { return m_error; }

    private:
        MemoryFileSystem& m_fs;
        std::string m_path;
        std::shared_ptr<Bytes> m_bytes;
        std::string m_error;
    };
};

} // namespace enlazio::testing
