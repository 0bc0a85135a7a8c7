#include "simcam/enumerators.h"

#include <new>

#include "simcam/filter.h"
#include "simcam/media_types.h"

namespace {

// Position, reference counting and Skip/Reset shared by both enumerators.
template <class Interface, class Derived>
class EnumBase : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, Derived::Iid())) {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete static_cast<Derived*>(this);
        return n;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const ULONG size = static_cast<Derived*>(this)->Size();
        if (count > size - position_) {
            position_ = size;
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }

protected:
    EnumBase() { SimcamObjectCreated(); }
    virtual ~EnumBase() { SimcamObjectDestroyed(); }
    LONG refs_ = 1;
    ULONG position_ = 0;
};

class PinEnum final : public EnumBase<IEnumPins, PinEnum> {
public:
    explicit PinEnum(const std::vector<IPin*>& pins) : pins_(pins) {
        for (IPin* p : pins_) p->AddRef();
    }
    ~PinEnum() override {
        for (IPin* p : pins_) p->Release();
    }
    static REFIID Iid() { return IID_IEnumPins; }
    ULONG Size() const { return static_cast<ULONG>(pins_.size()); }

    STDMETHODIMP Next(ULONG count, IPin** out, ULONG* fetched) override {
        if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
        ULONG n = 0;
        while (n < count && position_ < Size()) {
            out[n] = pins_[position_++];
            out[n++]->AddRef();
        }
        if (fetched != nullptr) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Clone(IEnumPins** out) override {
        if (out == nullptr) return E_POINTER;
        auto* copy = new (std::nothrow) PinEnum(pins_);
        if (copy == nullptr) return E_OUTOFMEMORY;
        copy->position_ = position_;
        *out = copy;
        return S_OK;
    }

private:
    std::vector<IPin*> pins_;
};

class MediaTypeEnum final : public EnumBase<IEnumMediaTypes, MediaTypeEnum> {
public:
    MediaTypeEnum(const std::vector<SimFormat>& formats, int fps, bool videoInfo2)
        : formats_(formats), fps_(fps), videoInfo2_(videoInfo2) {}
    static REFIID Iid() { return IID_IEnumMediaTypes; }
    ULONG Size() const { return static_cast<ULONG>(formats_.size()); }

    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** out, ULONG* fetched) override {
        if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
        ULONG n = 0;
        while (n < count && position_ < Size()) {
            out[n] = CreateMediaType(formats_[position_], fps_, videoInfo2_);
            if (out[n] == nullptr) break;
            ++position_;
            ++n;
        }
        if (fetched != nullptr) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Clone(IEnumMediaTypes** out) override {
        if (out == nullptr) return E_POINTER;
        auto* copy = new (std::nothrow) MediaTypeEnum(formats_, fps_, videoInfo2_);
        if (copy == nullptr) return E_OUTOFMEMORY;
        copy->position_ = position_;
        *out = copy;
        return S_OK;
    }

private:
    std::vector<SimFormat> formats_;
    int fps_;
    bool videoInfo2_;
};

}  // namespace

HRESULT CreatePinEnum(const std::vector<IPin*>& pins, IEnumPins** out) {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) PinEnum(pins);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateMediaTypeEnum(const std::vector<SimFormat>& formats, int fps, bool videoInfo2,
                            IEnumMediaTypes** out) {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) MediaTypeEnum(formats, fps, videoInfo2);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}
