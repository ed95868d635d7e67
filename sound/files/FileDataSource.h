#pragma once

// Opens a file's streams for the chunk readers and writers. Files are shared with other
// readers and writers (no locks are taken).

#include <boost/shared_ptr.hpp>

#include <iosfwd>
#include <string>

namespace SL {

class IDataSource {
public:
    virtual ~IDataSource() = default;
    virtual std::string GetName() const = 0;
    // Empty when the open failed.
    virtual boost::shared_ptr<std::istream> OpenRead() = 0;
    virtual boost::shared_ptr<std::ostream> OpenWrite() = 0;
};

class CFileDataSource : public IDataSource {
public:
    // update: OpenWrite keeps the file's contents and opens it for reading and writing.
    CFileDataSource(std::string path, bool update);

    std::string GetName() const override { return m_path; }
    // A binary input file stream.
    boost::shared_ptr<std::istream> OpenRead() override;
    // A binary output file stream that truncates the file, or with the update flag a binary
    // input and output stream over the file as it is (an existing file only).
    boost::shared_ptr<std::ostream> OpenWrite() override;

private:
    std::string m_path;
    bool m_update;
};

}  // namespace SL
