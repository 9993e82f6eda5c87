#include "V4l2Camera.h"

#include "CameraConverter.h"
#include "CameraFramePool.h"
#include "EncodeLibrary.h"

#include <QtGlobal>

extern "C" {
#include <libavutil/imgutils.h>
}

#include <libv4l2.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <sys/mman.h>

namespace castcore {

namespace {

constexpr int kNoFormat = 7;
constexpr int kMjpg = 6;

// Our colour format number of a V4L2 pixel format; kNoFormat when we do not
// convert it. RGB32 and RGB24 are bottom-up DIB layouts in memory order blue,
// green, red: V4L2's BGR formats.
int colourNumber(uint32_t fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV: return 0;
    case V4L2_PIX_FMT_YVYU: return 1;
    case V4L2_PIX_FMT_UYVY: return 2;
    case V4L2_PIX_FMT_YUV420: return 3;
    case V4L2_PIX_FMT_XBGR32:
    case V4L2_PIX_FMT_ABGR32:
    case V4L2_PIX_FMT_BGR32: return 4;
    case V4L2_PIX_FMT_BGR24: return 5;
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG: return kMjpg;
    default: return kNoFormat;
    }
}

AVPixelFormat avFormat(uint32_t fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV: return AV_PIX_FMT_YUYV422;
    case V4L2_PIX_FMT_YVYU: return AV_PIX_FMT_YVYU422;
    case V4L2_PIX_FMT_UYVY: return AV_PIX_FMT_UYVY422;
    case V4L2_PIX_FMT_YUV420: return AV_PIX_FMT_YUV420P;
    case V4L2_PIX_FMT_XBGR32:
    case V4L2_PIX_FMT_ABGR32:
    case V4L2_PIX_FMT_BGR32: return AV_PIX_FMT_BGR0;
    case V4L2_PIX_FMT_BGR24: return AV_PIX_FMT_BGR24;
    default: return AV_PIX_FMT_NONE;
    }
}

// Opens a capture device: the plain open and capability query first, so that
// other files are turned away quietly (libv4l2 complains about them on
// stderr), then libv4l2 takes the descriptor. -1 with errno set, ENOTTY for a
// file that is no capture device.
int openCaptureDevice(const char *path, v4l2_capability *cap)
{
    const int fd = ::open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int r;
    do {
        r = ::ioctl(fd, VIDIOC_QUERYCAP, cap);
    } while (r < 0 && errno == EINTR);
    const uint32_t caps = (cap->capabilities & V4L2_CAP_DEVICE_CAPS) ? cap->device_caps : cap->capabilities;
    if (r < 0 || !(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING)) {
        ::close(fd);
        errno = ENOTTY;
        return -1;
    }
    const int wrapped = v4l2_fd_open(fd, 0);
    if (wrapped < 0) {
        const int e = errno;
        ::close(fd);
        errno = e;
    }
    return wrapped;
}

int xioctl(int fd, unsigned long request, void *arg)
{
    int r;
    do {
        r = v4l2_ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

std::u16string cardName(const v4l2_capability &cap)
{
    const char *card = reinterpret_cast<const char *>(cap.card);
    const size_t n = strnlen(card, sizeof cap.card);
    return QString::fromUtf8(card, int(n)).toStdU16String();
}

// The highest rate the device offers for one format and size; 0 when it
// does not say.
int highestRate(int fd, uint32_t fourcc, uint32_t width, uint32_t height)
{
    v4l2_frmivalenum iv{};
    iv.pixel_format = fourcc;
    iv.width = width;
    iv.height = height;
    double best = 0;
    for (iv.index = 0; xioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &iv) == 0; ++iv.index) {
        const v4l2_fract f = iv.type == V4L2_FRMIVAL_TYPE_DISCRETE ? iv.discrete : iv.stepwise.min;
        if (f.numerator > 0)
            best = std::max(best, double(f.denominator) / f.numerator);
        if (iv.type != V4L2_FRMIVAL_TYPE_DISCRETE)
            break;
    }
    return int(std::lround(best));
}

// The sizes of one format: the listed ones, or for a range the usual sizes
// inside it and its largest.
std::vector<std::pair<uint32_t, uint32_t>> frameSizes(int fd, uint32_t fourcc)
{
    std::vector<std::pair<uint32_t, uint32_t>> sizes;
    v4l2_frmsizeenum fs{};
    fs.pixel_format = fourcc;
    for (fs.index = 0; xioctl(fd, VIDIOC_ENUM_FRAMESIZES, &fs) == 0; ++fs.index) {
        if (fs.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            sizes.emplace_back(fs.discrete.width, fs.discrete.height);
            continue;
        }
        const v4l2_frmsize_stepwise &s = fs.stepwise;
        const std::pair<uint32_t, uint32_t> usual[] = {{320, 240}, {640, 480}, {1280, 720}, {1920, 1080}};
        for (const auto &u : usual) {
            const bool inside = u.first >= s.min_width && u.first <= s.max_width && u.second >= s.min_height
                                && u.second <= s.max_height;
            const bool onStep = (s.step_width == 0 || (u.first - s.min_width) % s.step_width == 0)
                                && (s.step_height == 0 || (u.second - s.min_height) % s.step_height == 0);
            if (inside && onStep)
                sizes.push_back(u);
        }
        if (std::find(sizes.begin(), sizes.end(), std::make_pair(s.max_width, s.max_height)) == sizes.end())
            sizes.emplace_back(s.max_width, s.max_height);
        break;
    }
    return sizes;
}

std::vector<CameraFormat> deviceFormats(int fd)
{
    std::vector<CameraFormat> formats;
    v4l2_fmtdesc desc{};
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (desc.index = 0; xioctl(fd, VIDIOC_ENUM_FMT, &desc) == 0; ++desc.index) {
        const int colour = colourNumber(desc.pixelformat);
        if (colour == kNoFormat)
            continue;
        for (const auto &size : frameSizes(fd, desc.pixelformat)) {
            CameraFormat f;
            f.colorFormat = colour;
            f.width = int(size.first);
            f.height = int(size.second);
            f.fps = highestRate(fd, desc.pixelformat, size.first, size.second);
            const bool known = std::any_of(formats.begin(), formats.end(), [&](const CameraFormat &g) {
                return g.colorFormat == f.colorFormat && g.width == f.width && g.height == f.height;
            });
            if (!known)
                formats.push_back(f);
        }
    }
    return formats;
}

// The number after "video" in a device name, or -1.
int videoNumber(const char *name)
{
    if (std::strncmp(name, "video", 5) != 0 || !name[5])
        return -1;
    int n = 0;
    for (const char *p = name + 5; *p; ++p) {
        if (*p < '0' || *p > '9' || n > 100000)
            return -1;
        n = n * 10 + (*p - '0');
    }
    return n;
}

} // namespace

std::vector<CameraEntry> listV4l2Cameras(const std::string &dir)
{
    std::vector<std::pair<int, std::string>> nodes;
    if (DIR *d = opendir(dir.c_str())) {
        while (const dirent *e = readdir(d)) {
            const int n = videoNumber(e->d_name);
            if (n >= 0)
                nodes.emplace_back(n, dir + "/" + e->d_name);
        }
        closedir(d);
    }
    std::sort(nodes.begin(), nodes.end());

    std::vector<CameraEntry> entries;
    for (const auto &node : nodes) {
        v4l2_capability cap{};
        const int fd = openCaptureDevice(node.second.c_str(), &cap);
        if (fd < 0)
            continue;
        {
            CameraEntry entry;
            entry.device.name = cardName(cap);
            entry.device.formats = deviceFormats(fd);
            entry.devicePath = node.second;
            // Two cameras of one model: the later ones get their number.
            const auto sameName = std::count_if(entries.begin(), entries.end(), [&](const CameraEntry &e) {
                return e.device.name.compare(0, entry.device.name.size(), entry.device.name) == 0;
            });
            if (sameName > 0)
                entry.device.name += u" #" + QString::number(sameName + 1).toStdU16String();
            if (!entry.device.formats.empty())
                entries.push_back(std::move(entry));
        }
        v4l2_close(fd);
    }
    return entries;
}

struct V4l2Camera::Device
{
    struct Buffer
    {
        void *start = MAP_FAILED;
        size_t length = 0;
    };

    ~Device()
    {
        if (fd < 0)
            return;
        if (streaming) {
            v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            xioctl(fd, VIDIOC_STREAMOFF, &type);
        }
        for (const Buffer &b : buffers)
            if (b.start != MAP_FAILED)
                v4l2_munmap(b.start, b.length);
        v4l2_close(fd);
    }

    bool fail(const char *what)
    {
        qWarning("engine: camera %s %s (%s)", path.c_str(), what, std::strerror(errno));
        return false;
    }

    // MJPG comes through the encoding library, loaded by the first such camera.
    bool startDecoder()
    {
        decoder = EncodeLibrary::createJpegDecoder();
        return decoder != nullptr;
    }

    bool convertRaw(const uint8_t *data, size_t bytes, QImage &frame)
    {
        const AVPixelFormat format = avFormat(fourcc);
        uint8_t *planes[4] = {};
        int strides[4] = {};
        if (format == AV_PIX_FMT_YUV420P) {
            strides[0] = int(bytesPerLine);
            strides[1] = strides[2] = int(bytesPerLine) / 2;
            planes[0] = const_cast<uint8_t *>(data);
            planes[1] = planes[0] + size_t(strides[0]) * size_t(height);
            planes[2] = planes[1] + size_t(strides[1]) * size_t((height + 1) / 2);
            if (size_t(planes[2] - planes[0]) + size_t(strides[2]) * size_t((height + 1) / 2) > bytes)
                return false;
        } else {
            strides[0] = int(bytesPerLine);
            planes[0] = const_cast<uint8_t *>(data);
            if (size_t(bytesPerLine) * size_t(height) > bytes)
                return false;
        }
        return converter.convert(planes, strides, format, false, frame);
    }

    bool decodeJpeg(const uint8_t *data, size_t bytes, QImage &frame)
    {
        DecodedPicture picture;
        if (!decoder->decode(data, bytes, &picture) || picture.width != width || picture.height != height)
            return false;
        return converter.convert(picture.planes, picture.strides, AVPixelFormat(picture.pixelFormat),
                                 picture.fullRange, frame);
    }

    std::string path;
    int fd = -1;
    bool streaming = false;
    uint32_t fourcc = 0;
    int width = 0;
    int height = 0;
    uint32_t bytesPerLine = 0;
    std::vector<Buffer> buffers;
    CameraConverter converter;
    std::unique_ptr<JpegDecoder> decoder;
};

V4l2Camera::V4l2Camera() = default;

V4l2Camera::~V4l2Camera() = default;

bool V4l2Camera::open(const std::string &path, const CameraParams &params)
{
    m_device = std::make_unique<Device>();
    Device &d = *m_device;
    d.path = path;
    v4l2_capability cap{};
    d.fd = openCaptureDevice(path.c_str(), &cap);
    if (d.fd < 0)
        return d.fail(errno == ENOTTY ? "is no video capture device" : "cannot be opened");

    // The wanted colour format, if the device offers it; else what it has set.
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(d.fd, VIDIOC_G_FMT, &fmt) < 0)
        return d.fail("reports no format");
    v4l2_fmtdesc desc{};
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (desc.index = 0; xioctl(d.fd, VIDIOC_ENUM_FMT, &desc) == 0; ++desc.index)
        if (colourNumber(desc.pixelformat) == params.colorFormat) {
            fmt.fmt.pix.pixelformat = desc.pixelformat;
            break;
        }
    if (params.width > 0 && params.height > 0) {
        fmt.fmt.pix.width = uint32_t(params.width);
        fmt.fmt.pix.height = uint32_t(params.height);
    }
    fmt.fmt.pix.field = V4L2_FIELD_ANY;
    fmt.fmt.pix.bytesperline = 0;
    if (xioctl(d.fd, VIDIOC_S_FMT, &fmt) < 0)
        return d.fail("refuses the format");
    d.fourcc = fmt.fmt.pix.pixelformat;
    d.width = int(fmt.fmt.pix.width);
    d.height = int(fmt.fmt.pix.height);
    d.bytesPerLine = fmt.fmt.pix.bytesperline;
    const bool jpeg = colourNumber(d.fourcc) == kMjpg;
    if (d.width <= 0 || d.height <= 0 || (!jpeg && avFormat(d.fourcc) == AV_PIX_FMT_NONE)) {
        errno = EINVAL;
        return d.fail("offers no format we convert");
    }
    if (!jpeg && d.bytesPerLine == 0)
        d.bytesPerLine = uint32_t(av_image_get_linesize(avFormat(d.fourcc), d.width, 0));
    if (jpeg && !d.startDecoder()) {
        errno = ENOSYS;
        return d.fail("has no MJPG decoder");
    }

    // The rate is a wish: a device without rate control keeps its own.
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (params.fps > 0 && xioctl(d.fd, VIDIOC_G_PARM, &parm) == 0
        && (parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME)) {
        parm.parm.capture.timeperframe = {1, uint32_t(params.fps)};
        xioctl(d.fd, VIDIOC_S_PARM, &parm);
    }

    v4l2_requestbuffers req{};
    req.count = 4;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    if (xioctl(d.fd, VIDIOC_REQBUFS, &req) < 0 || req.count < 2)
        return d.fail("gives no capture buffers");
    d.buffers.resize(req.count);
    for (uint32_t i = 0; i < req.count; ++i) {
        v4l2_buffer buf{};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_MMAP;
        buf.index = i;
        if (xioctl(d.fd, VIDIOC_QUERYBUF, &buf) < 0)
            return d.fail("does not describe its buffers");
        d.buffers[i].length = buf.length;
        d.buffers[i].start = v4l2_mmap(nullptr, buf.length, PROT_READ | PROT_WRITE, MAP_SHARED, d.fd, buf.m.offset);
        if (d.buffers[i].start == MAP_FAILED)
            return d.fail("buffers cannot be mapped");
        if (xioctl(d.fd, VIDIOC_QBUF, &buf) < 0)
            return d.fail("refuses a buffer");
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(d.fd, VIDIOC_STREAMON, &type) < 0)
        return d.fail("does not start streaming");
    d.streaming = true;
    char name[5] = {char(d.fourcc), char(d.fourcc >> 8), char(d.fourcc >> 16), char(d.fourcc >> 24), 0};
    qInfo("engine: camera %s streams %s %dx%d", path.c_str(), name, d.width, d.height);
    return true;
}

V4l2Camera::Read V4l2Camera::read(CameraFramePool &pool, QImage *frame, int timeoutMs)
{
    if (!m_device || !m_device->streaming)
        return Read::Lost;
    Device &d = *m_device;
    pollfd p{d.fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR))
        return Read::Waiting;
    if (ready < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
        if (ready > 0)
            errno = ENODEV;
        d.fail("is gone");
        return Read::Lost;
    }

    v4l2_buffer buf{};
    buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buf.memory = V4L2_MEMORY_MMAP;
    if (xioctl(d.fd, VIDIOC_DQBUF, &buf) < 0) {
        if (errno == EAGAIN)
            return Read::Waiting;
        d.fail("stopped delivering frames");
        return Read::Lost;
    }
    bool converted = false;
    if (buf.index < d.buffers.size() && !(buf.flags & V4L2_BUF_FLAG_ERROR)) {
        const auto *data = static_cast<const uint8_t *>(d.buffers[buf.index].start);
        const size_t bytes = std::min<size_t>(buf.bytesused, d.buffers[buf.index].length);
        if (QImage *target = pool.take(QSize(d.width, d.height))) {
            converted = colourNumber(d.fourcc) == kMjpg ? d.decodeJpeg(data, bytes, *target)
                                                         : d.convertRaw(data, bytes, *target);
            if (converted)
                *frame = *target;
        }
    }
    if (xioctl(d.fd, VIDIOC_QBUF, &buf) < 0) {
        d.fail("takes no buffer back");
        return Read::Lost;
    }
    // A damaged frame is skipped; the next one may be whole.
    return converted ? Read::Frame : Read::Waiting;
}

} // namespace castcore
