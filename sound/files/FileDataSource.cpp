#include "sound/files/FileDataSource.h"

#include <fstream>

namespace SL {

CFileDataSource::CFileDataSource(std::string path, bool update) : m_path(std::move(path)), m_update(update) {}

boost::shared_ptr<std::istream> CFileDataSource::OpenRead() {
    boost::shared_ptr<std::ifstream> stream(new std::ifstream(m_path, std::ios_base::in | std::ios_base::binary));
    if (!stream->is_open()) return boost::shared_ptr<std::istream>();
    return stream;
}

boost::shared_ptr<std::ostream> CFileDataSource::OpenWrite() {
    boost::shared_ptr<std::fstream> stream(new std::fstream());
    if (m_update)
        stream->open(m_path, std::ios_base::in | std::ios_base::out | std::ios_base::binary);
    else
        stream->open(m_path, std::ios_base::out | std::ios_base::trunc | std::ios_base::binary);
    if (!stream->is_open()) return boost::shared_ptr<std::ostream>();
    return stream;
}

}  // namespace SL
