#include "workbook/package.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <zip.h>

#include "workbook/xmltext.h"

namespace Ooxml {

namespace {

    struct StreamSource {
        PartStream* stream = nullptr;
        zip_uint64_t length = 0;
        std::string piece;
        size_t pos = 0;
        bool done = false;
        zip_error_t error;
    };

    zip_int64_t streamSource(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd)
    {
        auto* s = static_cast<StreamSource*>(state);
        switch (cmd) {
        case ZIP_SOURCE_OPEN:
            s->stream->rewind();
            s->piece.clear();
            s->pos = 0;
            s->done = false;
            return 0;
        case ZIP_SOURCE_READ: {
            char* to = static_cast<char*>(data);
            zip_uint64_t n = 0;
            while (n < len) {
                if (s->pos == s->piece.size()) {
                    s->piece.clear(); // keeps its buffer: no fresh memory per piece
                    s->pos = 0;
                    if (s->done || !s->stream->next(s->piece)) {
                        s->done = true;
                        break;
                    }
                    continue;
                }
                const size_t k = std::min<size_t>(len - n, s->piece.size() - s->pos);
                std::memcpy(to + n, s->piece.data() + s->pos, k);
                s->pos += k;
                n += k;
            }
            return static_cast<zip_int64_t>(n);
        }
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->mtime = std::time(nullptr);
            st->size = s->length;
            st->valid |= ZIP_STAT_MTIME | ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&s->error, data, len);
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS, -1);
        default:
            zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    // The length of a streamed part, from a reading of it that keeps nothing. A part added without
    // its length gets Zip64 records in its local header (it might exceed 4 GB), which some
    // spreadsheet programs refuse or "repair".
    zip_uint64_t lengthOf(PartStream& stream)
    {
        stream.rewind();
        zip_uint64_t length = 0;
        std::string piece;
        while (stream.next(piece)) {
            length += piece.size();
            piece.clear();
        }
        return length;
    }

} // namespace

bool unzip(const QByteArray& bytes, std::vector<Part>& parts, QString& error)
{
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src = zip_source_buffer_create(bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0, &ze);
    zip_t* za = src ? zip_open_from_source(src, ZIP_RDONLY, &ze) : nullptr;
    if (!za) {
        error = QString::fromUtf8(zip_error_strerror(&ze));
        if (src)
            zip_source_free(src);
        zip_error_fini(&ze);
        return false;
    }
    zip_error_fini(&ze);
    const zip_int64_t n = zip_get_num_entries(za, 0);
    bool ok = true;
    for (zip_int64_t i = 0; i < n && ok; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            error = QString::fromUtf8(zip_strerror(za));
            ok = false;
            break;
        }
        const std::string name = st.name;
        if (name.empty() || name.back() == '/')
            continue;
        if (st.size > (zip_uint64_t(1) << 30)) {
            error = QStringLiteral("the part %1 is too large").arg(qs(name));
            ok = false;
            break;
        }
        zip_file_t* f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
        if (!f) {
            error = QString::fromUtf8(zip_strerror(za));
            ok = false;
            break;
        }
        Part p { name, std::string(st.size, '\0') };
        const zip_int64_t got = st.size ? zip_fread(f, p.data.data(), st.size) : 0;
        if (got < 0 || static_cast<zip_uint64_t>(got) != st.size) {
            error = QString::fromUtf8(zip_file_strerror(f));
            ok = false;
        }
        zip_fclose(f);
        parts.push_back(std::move(p));
    }
    zip_discard(za);
    return ok;
}

bool zipParts(const std::vector<Part>& parts, QByteArray& out, QString& error)
{
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* dst = zip_source_buffer_create(nullptr, 0, 0, &ze);
    zip_t* za = dst ? zip_open_from_source(dst, ZIP_TRUNCATE, &ze) : nullptr;
    if (!za) {
        error = QString::fromUtf8(zip_error_strerror(&ze));
        if (dst)
            zip_source_free(dst);
        zip_error_fini(&ze);
        return false;
    }
    zip_error_fini(&ze);
    zip_source_keep(dst);
    std::vector<std::unique_ptr<StreamSource>> streams; // alive until the archive is closed
    for (const Part& p : parts) {
        zip_source_t* s;
        if (p.stream) {
            streams.push_back(std::make_unique<StreamSource>());
            streams.back()->stream = p.stream;
            streams.back()->length = lengthOf(*p.stream);
            zip_error_init(&streams.back()->error);
            s = zip_source_function(za, streamSource, streams.back().get());
        } else {
            s = zip_source_buffer(za, p.data.data(), p.data.size(), 0);
        }
        const zip_int64_t idx = s ? zip_file_add(za, p.name.c_str(), s, ZIP_FL_ENC_UTF_8) : -1;
        if (idx < 0) {
            error = QString::fromUtf8(zip_strerror(za));
            if (s)
                zip_source_free(s);
            zip_discard(za);
            zip_source_free(dst);
            return false;
        }
        // worksheets favour speed (exports are big); the size hardly differs for their XML
        zip_set_file_compression(za, static_cast<zip_uint64_t>(idx), ZIP_CM_DEFLATE, p.stream ? 1 : 6);
    }
    if (zip_close(za) != 0) {
        error = QString::fromUtf8(zip_strerror(za));
        zip_discard(za);
        zip_source_free(dst);
        return false;
    }
    bool ok = zip_source_open(dst) == 0;
    if (ok) {
        zip_source_seek(dst, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(dst);
        zip_source_seek(dst, 0, SEEK_SET);
        out.resize(static_cast<qsizetype>(size));
        ok = size >= 0 && zip_source_read(dst, out.data(), static_cast<zip_uint64_t>(size)) == size;
        zip_source_close(dst);
    }
    if (!ok)
        error = QStringLiteral("the package could not be assembled");
    zip_source_free(dst);
    return ok;
}

std::string relsPathFor(const std::string& part)
{
    const size_t slash = part.rfind('/');
    if (slash == std::string::npos)
        return "_rels/" + part + ".rels";
    return part.substr(0, slash) + "/_rels/" + part.substr(slash + 1) + ".rels";
}

std::string resolveTarget(const std::string& source, const std::string& target)
{
    if (!target.empty() && target[0] == '/')
        return target.substr(1);
    const size_t slash = source.rfind('/');
    std::string path = (slash == std::string::npos ? std::string() : source.substr(0, slash + 1)) + target;
    std::vector<std::string> segs;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string seg = path.substr(start, end - start);
        if (seg == "..") {
            if (!segs.empty())
                segs.pop_back();
        } else if (!seg.empty() && seg != ".") {
            segs.push_back(seg);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& s : segs)
        out += (out.empty() ? "" : "/") + s;
    return out;
}

} // namespace Ooxml
