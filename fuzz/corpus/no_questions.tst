Info=(022)
Title=(Пусто)
Buttons=(ДаНет)
Questions:
Variants: use only one
Первый
Второй
Numbers:
Message:
=0-0
Ничего
$
