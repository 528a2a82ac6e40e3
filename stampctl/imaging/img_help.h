// The process-wide image-processing object: finds the sheet in a photo, straightens and crops
// it, and keeps what the print path and the blank check read afterwards.
#pragma once

class CImgHelp {
public:
    static CImgHelp* Instance();

    // Settings from the configuration: JPEG quality, output resolution, binarisation threshold.
    void setDate(int jpgRar, int dpi, unsigned long cutEzh);

    int jpgRar() const { return m_jpgRar; }
    int dpi() const { return m_dpi; }
    unsigned long cutEzh() const { return m_cutEzh; }

    CImgHelp(const CImgHelp&) = delete;
    CImgHelp& operator=(const CImgHelp&) = delete;

private:
    CImgHelp();
    ~CImgHelp();

    int m_jpgRar = 80;
    int m_dpi = 235;
    unsigned long m_cutEzh = 0;
};
