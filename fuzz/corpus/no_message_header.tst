Info=(111)
Title=(Обрыв)
Buttons=(Да)
Questions:
Один
Variants: none
Numbers:
5,
=0-5
