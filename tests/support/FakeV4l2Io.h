#pragma once

#include "V4l2Io.h"

#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace kelm::test {

// V4L2 nodes held in memory: each answers the requests a capture card
// answers, records every setting request, and can refuse with an errno.
//
// Like a vb2 driver, a device whose buffer queue a handle holds (REQBUFS
// with buffers, then STREAMON) refuses a new input, standard or format with
// EBUSY until that handle gives the buffers back or closes; the tuner's
// frequency may change meanwhile.
class FakeV4l2Io final : public V4l2Io {
public:
    struct Input {
        std::string name;
        bool tuner = false;
        v4l2_std_id standards = V4L2_STD_ALL;  // the standards the input takes
    };
    struct Device {
        Device(std::string c, bool captures, std::vector<std::pair<std::string, bool>> in)
            : card(std::move(c)), capture(captures) {
            for (auto& [name, tuner] : in) inputs.push_back({name, tuner, V4L2_STD_ALL});
        }
        Device() = default;
        std::string card;
        std::string bus;
        bool capture = true;
        std::vector<Input> inputs;
        __u32 tunerCapability = V4L2_TUNER_CAP_NORM;
        int currentInput = 0;
        v4l2_std_id standard = V4L2_STD_PAL_BG;
        __u32 frequency = 0;
        __u32 pixelFormat = V4L2_PIX_FMT_YUYV;
        std::vector<__u32> formats{V4L2_PIX_FMT_YUYV,   V4L2_PIX_FMT_UYVY,  V4L2_PIX_FMT_YUV420,
                                   V4L2_PIX_FMT_YVU420, V4L2_PIX_FMT_BGR24, V4L2_PIX_FMT_RGB565};
        bool acceptsEveryFormat = true;
        std::map<unsigned long, int> refuse;  // request -> errno
        int queueOwner = -1;                  // the handle holding the buffers
        bool streaming = false;
    };
    struct Sent {
        std::string node;
        unsigned long request;
        std::uint64_t value;
    };

    QStringList nodes() override {
        QStringList result;
        for (const auto& [node, device] : devices) result << QString::fromStdString(node);
        return result;
    }
    int open(const QString& node) override {
        if (!devices.count(node.toStdString())) {
            errno = ENOENT;
            return -1;
        }
        const int fd = m_nextFd++;
        m_open[fd] = node.toStdString();
        return fd;
    }
    void close(int fd) override {
        const auto it = m_open.find(fd);
        if (it == m_open.end()) return;
        Device& d = devices.at(it->second);
        if (d.queueOwner == fd) {  // closing gives the buffers back
            d.queueOwner = -1;
            d.streaming = false;
        }
        m_open.erase(it);
    }
    int ioctl(int fd, unsigned long request, void* arg) override {
        const std::string node = m_open.at(fd);
        Device& d = devices.at(node);
        if (const auto it = d.refuse.find(request); it != d.refuse.end()) {
            errno = it->second;
            return -1;
        }
        const bool busy = d.queueOwner >= 0;
        switch (request) {
            case VIDIOC_QUERYCAP: {
                auto* cap = static_cast<v4l2_capability*>(arg);
                std::strncpy(reinterpret_cast<char*>(cap->card), d.card.c_str(),
                             sizeof cap->card - 1);
                std::strncpy(reinterpret_cast<char*>(cap->bus_info), d.bus.c_str(),
                             sizeof cap->bus_info - 1);
                cap->capabilities = V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE;
                cap->device_caps =
                    d.capture ? V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING : V4L2_CAP_META_CAPTURE;
                return 0;
            }
            case VIDIOC_ENUMINPUT: {
                auto* in = static_cast<v4l2_input*>(arg);
                if (in->index >= d.inputs.size()) return fail(EINVAL);
                const Input& input = d.inputs[in->index];
                std::strncpy(reinterpret_cast<char*>(in->name), input.name.c_str(),
                             sizeof in->name - 1);
                in->type = input.tuner ? V4L2_INPUT_TYPE_TUNER : V4L2_INPUT_TYPE_CAMERA;
                in->tuner = 0;
                in->std = input.standards;
                return 0;
            }
            case VIDIOC_G_INPUT:
                *static_cast<int*>(arg) = d.currentInput;
                return 0;
            case VIDIOC_S_INPUT: {
                const int index = *static_cast<int*>(arg);
                if (busy) return fail(EBUSY);
                if (index < 0 || size_t(index) >= d.inputs.size()) return fail(EINVAL);
                d.currentInput = index;
                sent.push_back({node, request, std::uint64_t(index)});
                return 0;
            }
            case VIDIOC_G_TUNER:
                static_cast<v4l2_tuner*>(arg)->capability = d.tunerCapability;
                return 0;
            case VIDIOC_G_FREQUENCY:
                static_cast<v4l2_frequency*>(arg)->frequency = d.frequency;
                return 0;
            case VIDIOC_S_FREQUENCY: {
                const auto* f = static_cast<v4l2_frequency*>(arg);
                EXPECT_EQ(f->type, V4L2_TUNER_ANALOG_TV);
                d.frequency = f->frequency;
                sent.push_back({node, request, f->frequency});
                return 0;
            }
            case VIDIOC_G_STD:
                *static_cast<v4l2_std_id*>(arg) = d.standard;
                return 0;
            case VIDIOC_S_STD: {
                const v4l2_std_id id = *static_cast<v4l2_std_id*>(arg);
                if (busy) return fail(EBUSY);
                if ((d.inputs.at(size_t(d.currentInput)).standards & id) == 0) return fail(EINVAL);
                d.standard = id;
                sent.push_back({node, request, id});
                return 0;
            }
            case VIDIOC_ENUM_FMT: {
                auto* desc = static_cast<v4l2_fmtdesc*>(arg);
                if (desc->index >= d.formats.size()) return fail(EINVAL);
                desc->pixelformat = d.formats[desc->index];
                return 0;
            }
            case VIDIOC_G_FMT:
                static_cast<v4l2_format*>(arg)->fmt.pix.pixelformat = d.pixelFormat;
                return 0;
            case VIDIOC_S_FMT: {
                auto* f = static_cast<v4l2_format*>(arg);
                EXPECT_EQ(f->type, V4L2_BUF_TYPE_VIDEO_CAPTURE);
                if (busy) return fail(EBUSY);
                sent.push_back({node, request, f->fmt.pix.pixelformat});
                if (d.acceptsEveryFormat) d.pixelFormat = f->fmt.pix.pixelformat;
                f->fmt.pix.pixelformat = d.pixelFormat;
                return 0;
            }
            case VIDIOC_REQBUFS: {
                const auto* req = static_cast<v4l2_requestbuffers*>(arg);
                if (busy && d.queueOwner != fd) return fail(EBUSY);
                d.queueOwner = req->count > 0 ? fd : -1;
                if (req->count == 0) d.streaming = false;
                return 0;
            }
            case VIDIOC_STREAMON:
                if (d.queueOwner != fd) return fail(EBUSY);
                d.streaming = true;
                sent.push_back({node, request, 0});
                return 0;
            case VIDIOC_STREAMOFF:
                if (d.queueOwner != fd) return fail(EBUSY);
                d.streaming = false;
                return 0;
            default:
                return fail(ENOTTY);
        }
    }

    // Another program (or the engine's picture source) streams from the node
    // on a handle of its own; the handle it returns ends it when closed.
    int startStreaming(const std::string& node) {
        const int fd = open(QString::fromStdString(node));
        v4l2_requestbuffers req{};
        req.count = 4;
        req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        req.memory = V4L2_MEMORY_MMAP;
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        EXPECT_EQ(ioctl(fd, VIDIOC_REQBUFS, &req), 0);
        EXPECT_EQ(ioctl(fd, VIDIOC_STREAMON, &type), 0);
        return fd;
    }

    std::vector<std::uint64_t> values(unsigned long request) const {
        std::vector<std::uint64_t> result;
        for (const Sent& s : sent) {
            if (s.request == request) result.push_back(s.value);
        }
        return result;
    }
    // The requests that reached the device, in order.
    std::vector<unsigned long> order() const {
        std::vector<unsigned long> result;
        for (const Sent& s : sent) result.push_back(s.request);
        return result;
    }
    size_t openFds() const { return m_open.size(); }

    std::map<std::string, Device> devices;
    std::vector<Sent> sent;

private:
    static int fail(int error) {
        errno = error;
        return -1;
    }
    std::map<int, std::string> m_open;
    int m_nextFd = 3;
};

}  // namespace kelm::test
