// The files vexel-player --new writes, built into the program so that it
// makes the same demo from a build tree, an installed package or a copy
// anywhere. The include paths name the folders they come from.
    .macro starter_file name, file
    .section .rodata
    .balign 16
    .global \name
    .hidden \name
    .type \name, @object
\name:
    .incbin "\file"
    .global \name\()End
    .hidden \name\()End
\name\()End:
    .byte 0
    .endm

    starter_file VexelStarterSettings, "morvelin.xml.in"
    starter_file VexelStarterShader, "ribbons.glsl"
    starter_file VexelStarterVertexShader, "standard.330.vert"
    starter_file VexelStarterFragmentShader, "standard.330.frag"
    starter_file VexelStarterFontLicense, "DejaVuSans.LICENSE"

    .section .note.GNU-stack,"",@progbits
