// The font the project ships, built into the library so that a demo finds
// it wherever it is started; the file itself stays in fonts/ for installing.
    .section .rodata
    .balign 16
    .global VexelDefaultFontData
    .hidden VexelDefaultFontData
    .type VexelDefaultFontData, @object
VexelDefaultFontData:
    .incbin "DejaVuSans.ttf"
    .global VexelDefaultFontDataEnd
    .hidden VexelDefaultFontDataEnd
VexelDefaultFontDataEnd:
    .byte 0
    .section .note.GNU-stack,"",@progbits
