// Grafic: colours, pictures, icons and the image list.
#pragma once
#include "runtime/bstr.h"
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
    // Icons and the image list
    HRESULT STDMETHODCALLTYPE Get_FileIconCount(BSTR File, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_IconFromFile(BSTR File, long IconNumber, long* ErrorNumber,
                                               IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE PictureToIcon(IPictureDisp** Picture, IconSize* Size, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE vListImage(vImageListCommand* Command, long* Index, IPictureDisp** Picture,
                                         vImageListNfo* Dimension, IPictureDisp** result) override;
    // Picture strings, sizes, loading and JPEG export
    HRESULT STDMETHODCALLTYPE PictureToString(IPictureDisp** Picture, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE PictureCompare(IPictureDisp** Picture1, IPictureDisp** Picture2,
                                             VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE PictureGetSize(BSTR File, long* ErrorNumber, CONTROLDIMENSIONS* result) override;
    HRESULT STDMETHODCALLTYPE GraficToJPG(BSTR SourceFile, BSTR* TargetFile, BYTE Quality, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_OnlinePicture(BSTR PictureURL, IPictureDisp** result) override;
};

namespace grafic {

// Twips to pixels and back at a given number of twips per pixel, rounded to the
// nearest whole number (halves to even); 6 outside the Long range.
long twips_to_pixel(long twips, double twips_per_pixel);
long pixel_to_twips(long pixels, double twips_per_pixel);

// The picture string of a bitmap (a device-dependent one in the screen's
// format): height and width as 4 bytes and bytes per pixel as 2, little-endian,
// then the bitmap's bits as GetBitmapBits gives them, each part turned into
// text through the ANSI code page on its own. 6 when the bits exceed a Long.
Bstr picture_string(HBITMAP bitmap);

// A screen-format bitmap of the picture's pixel size (of the work box's client
// size for a picture without pixels) with the picture drawn at its top left
// over the work box's background.
HBITMAP screen_image(IPictureDisp* picture);

}  // namespace grafic

}  // namespace qm
