// Grafic: colours and pictures.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Grafic : public Dispatch<_Grafic> {
public:
    // Colours and units
    HRESULT STDMETHODCALLTYPE Convert_ColorToRGB(long Color, RGBtype* result) override;
    HRESULT STDMETHODCALLTYPE Convert_ColorToHTML(long Color, long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Convert_HTMLtoLong(BSTR HTML, long* result) override;
    HRESULT STDMETHODCALLTYPE Convert_OLEtoRBG(long OLEcolor, long* result) override;
    HRESULT STDMETHODCALLTYPE Convert_RGBtoLong(long R, long G, long B, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_RandomizedColor(long* result) override;
    HRESULT STDMETHODCALLTYPE TwipsToPixel(long* X, long* Y) override;
    HRESULT STDMETHODCALLTYPE PixelToTwips(long* X, long* Y) override;
    HRESULT STDMETHODCALLTYPE ComplementarColor(long Color, long* result) override;
    // Picture transformations and blending
    HRESULT STDMETHODCALLTYPE PictureBoxTile(IDispatch** PictureBox, long* result) override;
    HRESULT STDMETHODCALLTYPE StretchToPicBox(IDispatch** PictureBox, long* result) override;
    HRESULT STDMETHODCALLTYPE Stretch(IPictureDisp** Picture, long NewWidth, long newHeight, long* Dimension,
                                      IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureColor(IPictureDisp** Picture, long Color, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureInvert(IPictureDisp** Picture, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureRotate(IPictureDisp** Picture, long Degrese, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureFlip(IPictureDisp** Picture, long Degrese, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureTurn(IPictureDisp** Picture, long Degrese, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureZoom(IPictureDisp** Picture, long ZoomFactor, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureFusion(IDispatch** PictureBox, IDispatch** Picture2, long* ErrorNumber,
                                            IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureAlphaBlend(IDispatch** PictureBox, BYTE* Blend, long* ErrorNumber,
                                                IPictureDisp** result) override;
    // Pixel effects
    HRESULT STDMETHODCALLTYPE PictureBrightness(IPictureDisp** Picture, long Brightness,
                                                IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureEmboss(IPictureDisp** Picture, long Emboss, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureToGray(IPictureDisp** Picture, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureContrast(IPictureDisp** Picture, long Contrast, IPictureDisp** result) override;
};

namespace grafic {

// Twips to pixels and back at a given number of twips per pixel, rounded to the
// nearest whole number (halves to even); 6 outside the Long range.
long twips_to_pixel(long twips, double twips_per_pixel);
long pixel_to_twips(long pixels, double twips_per_pixel);

}  // namespace grafic

}  // namespace qm
